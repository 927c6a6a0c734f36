"""Korvo.Dictionary from Python with comtypes (pip install comtypes), early-bound through the
type library that Korvod.dll carries, so calls go through the IDictionary function table.

The interpreter's bitness decides which DLL is loaded (see README, Install on Windows).
"""
import os
import tempfile

import comtypes.client

d = comtypes.client.CreateObject("Korvo.Dictionary")
d.UniqueKeys = False  # let a key hold several items
d.Add("apples", 3)
d.Add("apples", 5)
d.Add("pears", 7)
for key in d.Keys:
    print(key, "has", d.Count(key), "item(s):", d.Item(key))

path = os.path.join(tempfile.gettempdir(), "korvo-example.dic")
d.Save(path, False, "^a")  # only the keys that start with "a"
copy = comtypes.client.CreateObject("Korvo.Dictionary")
copy.UniqueKeys = False  # a new object would load only the first item of each key
copy.Load(path)
print("loaded", copy.ItemsCount, "items")
os.remove(path)
