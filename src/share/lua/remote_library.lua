-- The server side of a remote store, loaded as one function library (share/remote_functions.h
-- says how it is named and which keys a store keeps). The client puts `local LIB = '<name>'`
-- in front of this text; every function registers as LIB .. '_' .. its name. An entry is a u32
-- length and the key's text, then a u32 length and the value record, as share/remote_entry_codec
-- writes it.

local function u32(s, at)
  local a, b, c, d = s:byte(at, at + 3)
  return a + b * 256 + c * 65536 + d * 16777216
end

-- A group's entries in order, each {key part, value part} with their lengths.
local function entries(blob)
  local list = {}
  local at = 1
  while at <= #blob do
    local keyEnd = at + 3 + u32(blob, at)
    local valueEnd = keyEnd + 4 + u32(blob, keyEnd + 1)
    list[#list + 1] = {blob:sub(at, keyEnd), blob:sub(keyEnd + 1, valueEnd)}
    at = valueEnd + 1
  end
  return list
end

local function mode_refused(keys, mode, writing)
  local kept = redis.call('HGET', keys[4], 'mode')
  if not kept then
    if writing then redis.call('HSET', keys[4], 'mode', mode) end
    return nil
  end
  if kept ~= mode then return redis.error_reply('KORVO_MODE the store keeps keys in compare mode ' .. kept) end
  return nil
end

local function group_count(keys, sortKey)
  return tonumber(redis.call('HGET', keys[3], sortKey) or '0')
end

local function append_entries(keys, sortKey, count, added, addedCount)
  if count == 0 then
    redis.call('ZADD', keys[1], 0, sortKey)
    redis.call('HSET', keys[2], sortKey, added)
  else
    redis.call('HSET', keys[2], sortKey, redis.call('HGET', keys[2], sortKey) .. added)
  end
  redis.call('HSET', keys[3], sortKey, count + addedCount)
end

-- Every change bumps the version, and the item total moves by `items`.
local function changed(keys, items)
  if items ~= 0 then redis.call('HINCRBY', keys[4], 'items', items) end
  redis.call('HINCRBY', keys[4], 'version', 1)
end

local function version(keys)
  return redis.call('HGET', keys[4], 'version') or '0'
end

local function drop_group(keys, sortKey)
  redis.call('ZREM', keys[1], sortKey)
  redis.call('HDEL', keys[2], sortKey)
  redis.call('HDEL', keys[3], sortKey)
end

-- ARGV: mode, sort key, unique ('1'/'0'), key part, value part
local function add(keys, args)
  local count = group_count(keys, args[2])
  if count > 0 and args[3] == '1' then return redis.error_reply('KORVO_EXISTS') end
  append_entries(keys, args[2], count, args[4] .. args[5], 1)
  changed(keys, 1)
  return 1
end

-- ARGV: mode, sort key, key part, value part. The one entry keeps its key's spelling.
local function put(keys, args)
  local count = group_count(keys, args[2])
  if count >= 2 then return redis.error_reply('KORVO_SEVERAL') end
  if count == 0 then return add(keys, {args[1], args[2], '0', args[3], args[4]}) end
  local list = entries(redis.call('HGET', keys[2], args[2]))
  redis.call('HSET', keys[2], args[2], list[1][1] .. args[4])
  changed(keys, 0)
  return 1
end

-- ARGV: mode, sort key
local function get(keys, args)
  return redis.call('HGET', keys[2], args[2])
end

local function count(keys, args)
  return group_count(keys, args[2])
end

local function remove(keys, args)
  local removed = group_count(keys, args[2])
  if removed > 0 then
    drop_group(keys, args[2])
    changed(keys, -removed)
  end
  return removed
end

-- ARGV: mode. The items, then the keys.
local function totals(keys, args)
  return {tonumber(redis.call('HGET', keys[4], 'items') or '0'), redis.call('ZCARD', keys[1])}
end

-- The store's version, then every group's sort key and entries in key order.
local function all(keys, args)
  local result = {version(keys)}
  for _, sortKey in ipairs(redis.call('ZRANGE', keys[1], 0, -1)) do
    result[#result + 1] = sortKey
    result[#result + 1] = redis.call('HGET', keys[2], sortKey)
  end
  return result
end

local function clear(keys, args)
  redis.call('DEL', keys[1], keys[2], keys[3])
  redis.call('HSET', keys[4], 'items', 0)
  changed(keys, 0)
  return 1
end

-- Groups the client rewrote from a read of version ARGV[2]: then triples of sort key, the
-- entries kept and their count (0 drops the group). KORVO_RETRY when the store changed since.
local function replace(keys, args)
  if version(keys) ~= args[2] then return redis.error_reply('KORVO_RETRY') end
  local delta = 0
  for at = 3, #args, 3 do
    local sortKey, kept, keptCount = args[at], args[at + 1], tonumber(args[at + 2])
    delta = delta + keptCount - group_count(keys, sortKey)
    if keptCount == 0 then
      drop_group(keys, sortKey)
    else
      redis.call('HSET', keys[2], sortKey, kept)
      redis.call('HSET', keys[3], sortKey, keptCount)
    end
  end
  redis.call('HINCRBY', keys[4], 'items', delta)
  changed(keys, 0)
  return 1
end

-- ARGV: mode, unique ('1'/'0'), then pairs of sort key and entry, each added by Add's rules
-- in order. The number of entries refused because their key was present.
local function add_many(keys, args)
  local skipped, added = 0, 0
  for at = 3, #args, 2 do
    local present = group_count(keys, args[at])
    if present > 0 and args[2] == '1' then
      skipped = skipped + 1
    else
      append_entries(keys, args[at], present, args[at + 1], 1)
      added = added + 1
    end
  end
  if added > 0 then changed(keys, added) end
  return skipped
end

-- ARGV: mode, old sort key, new sort key, new key part
local function rename(keys, args)
  local moved = group_count(keys, args[2])
  if moved == 0 then return 0 end
  local pieces = {}
  for i, entry in ipairs(entries(redis.call('HGET', keys[2], args[2]))) do pieces[i] = args[4] .. entry[2] end
  local renamed = table.concat(pieces)
  changed(keys, 0)
  if args[2] == args[3] then
    redis.call('HSET', keys[2], args[2], renamed)
    return moved
  end
  local target = group_count(keys, args[3])
  drop_group(keys, args[2])
  append_entries(keys, args[3], target, renamed, moved)
  return moved
end

-- Each store function first refuses a caller in the other compare mode (ARGV[1]); one that
-- writes fixes the mode of a store that has none yet.
local function register(name, writing, body)
  redis.register_function(LIB .. '_' .. name, function(keys, args)
    local refused = mode_refused(keys, args[1], writing)
    if refused then return refused end
    return body(keys, args)
  end)
end

-- (Loading runs without pairs and ipairs, hence the counted loops.)
local writers = {{'add', add}, {'put', put}, {'rename', rename}, {'add_many', add_many}}
local readers = {{'get', get}, {'count', count}, {'remove', remove}, {'totals', totals}, {'all', all},
                 {'clear', clear}, {'replace', replace}}
for at = 1, #writers do register(writers[at][1], true, writers[at][2]) end
for at = 1, #readers do register(readers[at][1], false, readers[at][2]) end

redis.register_function(LIB .. '_destroy', function(keys, args)
  return redis.call('DEL', keys[1], keys[2], keys[3], keys[4])
end)

-- KEYS: the lock; ARGV: the holder's token
redis.register_function(LIB .. '_unlock', function(keys, args)
  if redis.call('GET', keys[1]) == args[1] then return redis.call('DEL', keys[1]) end
  return 0
end)
