// The header the store above wrongly includes.
#pragma once
