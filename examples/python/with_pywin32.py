"""Korvo.Dictionary from Python with pywin32 (pip install pywin32), late-bound like a script.

The interpreter's bitness decides which DLL is loaded (see README, Install on Windows).
"""
import os
import tempfile

import pywintypes
import win32com.client

d = win32com.client.Dispatch("Korvo.Dictionary")
d.Add("pears", 7)
d.Add("apples", 3)
for key in d.Keys:
    print(key, "=", d.Item(key))

shop = win32com.client.Dispatch("Korvo.Dictionary")
shop.Connect("inventory")
if not shop.Exists("counter"):
    shop.Add("counter", 0)
try:
    shop.Lock(5000)
except pywintypes.com_error as error:
    raise SystemExit(f"the store stays locked: 0x{error.hresult & 0xFFFFFFFF:08X}")
try:
    # Late binding offers no assignment to a property with an argument: replace the item.
    value = shop.Item("counter")
    shop.Remove("counter")
    shop.Add("counter", value + 1)
finally:
    shop.UnLock()  # the lock outlives the object: always release it
print("counter =", shop.Item("counter"))

path = os.path.join(tempfile.gettempdir(), "korvo-example.dic")
d.Save(path)
copy = win32com.client.Dispatch("Korvo.Dictionary")
copy.Load(path)
print("loaded", copy.ItemsCount, "items")
os.remove(path)
