// The identities of the type library, the class and its interface. The registry entries and the error records are built from these; a test
// checks them against the uuid attributes of the interface definition.
#pragma once

#include "platform/platform.h"

namespace korvo {

inline constexpr GUID kLibidKorvo = {0x9BF370AA, 0x3869, 0x4F11, {0x82, 0xFB, 0x04, 0x01, 0x7F, 0x65, 0xBF, 0x51}};
inline constexpr GUID kClsidDictionary = {0xFF1EDF26, 0xF2EE, 0x4BCF, {0xA9, 0x88, 0xA8, 0xE2, 0x6C, 0x1C, 0x12, 0xB5}};
inline constexpr GUID kIidIDictionary = {0x66A1EE46, 0xA909, 0x48F9, {0x95, 0x79, 0xC5, 0xF7, 0xD1, 0x6F, 0x57, 0x8E}};

inline constexpr const OLECHAR* kProgId = OLESTR("Korvo.Dictionary");
inline constexpr const OLECHAR* kClassDescription = OLESTR("ASP/VBS KorvoDictionary Class");

} // namespace korvo
