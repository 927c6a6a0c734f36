# Korvo.Dictionary from PowerShell: keys in order, a named store shared by every object of the
# process, a read-modify-write under the lock, and Save/Load.
# Run with the PowerShell of the bitness whose DLL is installed (see README, Install on Windows).
$ErrorActionPreference = 'Stop'

$d = New-Object -ComObject Korvo.Dictionary
$d.Add('pears', 7)
$d.Add('apples', 3)
foreach ($key in $d.Keys) { '{0} = {1}' -f $key, $d.Item($key) }

# Every object connected to "inventory" sees the same items.
$shop = New-Object -ComObject Korvo.Dictionary
$shop.Connect('inventory')
if (-not $shop.Exists('counter')) { $shop.Add('counter', 0) }
$null = $shop.Lock(5000)          # throws on a time-out (0x80070079)
try {
    $shop.Item('counter') = $shop.Item('counter') + 1
} finally {
    $shop.UnLock()                # the lock outlives the object: always release it
}
'counter = {0}' -f $shop.Item('counter')

$file = Join-Path $env:TEMP 'korvo-example.dic'
$d.Save($file)
$copy = New-Object -ComObject Korvo.Dictionary
$copy.Load($file)
'loaded {0} items' -f $copy.ItemsCount
Remove-Item $file
