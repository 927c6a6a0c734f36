// The server side of a remote store: one function library, loaded by each new connection and
// again by a call that finds it gone (flushed), each member one atomic function. The library
// is named after a digest of its text, so that two builds whose functions differ never call
// each other's functions, and no version has to be remembered by hand.
//
// A store named N is five keys sharing one hash tag (so they live on one cluster slot):
//   idx     sorted set, every score 0, members the sort keys: the key's UTF-16 code units as
//           big-endian bytes, ASCII-folded in text mode, so that the server's byte order is the
//           local store's key order
//   data    hash, sort key -> the group's entries in insertion order, each a u32 length and
//           the key's UTF-16LE text, then a u32 length and the value record
//   counts  hash, sort key -> entries in the group
//   meta    hash: items (entries in all), mode (the compare mode the store keeps), version
//           (bumped by every change, so that a change the client computed from a read
//           applies only to the store it read)
//   lock    the lease of Lock: a random token of the holding process, with an expiry
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace korvo {

// Every function below registers as LIB .. '_' .. its name; RemoteLibraryText() defines LIB.
inline constexpr std::string_view kRemoteLibraryBody = R"lua(
local function u32(s, at)
  local a, b, c, d = s:byte(at, at + 3)
  return a + b * 256 + c * 65536 + d * 16777216
end

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

local function touch(keys)
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
  local refused = mode_refused(keys, args[1], true)
  if refused then return refused end
  local count = group_count(keys, args[2])
  if count > 0 and args[3] == '1' then return redis.error_reply('KORVO_EXISTS') end
  append_entries(keys, args[2], count, args[4] .. args[5], 1)
  redis.call('HINCRBY', keys[4], 'items', 1)
  touch(keys)
  return 1
end

-- ARGV: mode, sort key, key part, value part
local function put(keys, args)
  local refused = mode_refused(keys, args[1], true)
  if refused then return refused end
  local count = group_count(keys, args[2])
  if count >= 2 then return redis.error_reply('KORVO_SEVERAL') end
  if count == 1 then
    local list = entries(redis.call('HGET', keys[2], args[2]))
    redis.call('HSET', keys[2], args[2], list[1][1] .. args[4])
    touch(keys)
    return 1
  end
  append_entries(keys, args[2], 0, args[3] .. args[4], 1)
  redis.call('HINCRBY', keys[4], 'items', 1)
  touch(keys)
  return 1
end

-- ARGV: mode, sort key
local function get(keys, args)
  local refused = mode_refused(keys, args[1], false)
  if refused then return refused end
  return redis.call('HGET', keys[2], args[2])
end

local function count(keys, args)
  local refused = mode_refused(keys, args[1], false)
  if refused then return refused end
  return group_count(keys, args[2])
end

local function remove(keys, args)
  local refused = mode_refused(keys, args[1], false)
  if refused then return refused end
  local removed = group_count(keys, args[2])
  if removed > 0 then
    drop_group(keys, args[2])
    redis.call('HINCRBY', keys[4], 'items', -removed)
    touch(keys)
  end
  return removed
end

-- ARGV: mode
local function totals(keys, args)
  local refused = mode_refused(keys, args[1], false)
  if refused then return refused end
  return {tonumber(redis.call('HGET', keys[4], 'items') or '0'), redis.call('ZCARD', keys[1])}
end

-- The store's version, then every group's sort key and entries in key order.
local function all(keys, args)
  local refused = mode_refused(keys, args[1], false)
  if refused then return refused end
  local groups = redis.call('ZRANGE', keys[1], 0, -1)
  local result = {version(keys)}
  for _, sortKey in ipairs(groups) do
    result[#result + 1] = sortKey
    result[#result + 1] = redis.call('HGET', keys[2], sortKey)
  end
  return result
end

-- ARGV: mode
local function clear(keys, args)
  local refused = mode_refused(keys, args[1], false)
  if refused then return refused end
  redis.call('DEL', keys[1], keys[2], keys[3])
  redis.call('HSET', keys[4], 'items', 0)
  touch(keys)
  return 1
end

-- Groups the client rewrote from a read of version ARGV[2]: then triples of sort key, the
-- entries kept and their count (0 drops the group). KORVO_RETRY when the store changed since.
local function replace(keys, args)
  local refused = mode_refused(keys, args[1], false)
  if refused then return refused end
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
  touch(keys)
  return 1
end

-- ARGV: mode, unique ('1'/'0'), then pairs of sort key and entry, each added by Add's rules
-- in order. The number of entries refused because their key was present.
local function add_many(keys, args)
  local refused = mode_refused(keys, args[1], true)
  if refused then return refused end
  local skipped, added = 0, 0
  for at = 3, #args, 2 do
    local count = group_count(keys, args[at])
    if count > 0 and args[2] == '1' then
      skipped = skipped + 1
    else
      append_entries(keys, args[at], count, args[at + 1], 1)
      added = added + 1
    end
  end
  if added > 0 then
    redis.call('HINCRBY', keys[4], 'items', added)
    touch(keys)
  end
  return skipped
end

-- ARGV: mode, old sort key, new sort key, new key part
local function rename(keys, args)
  local refused = mode_refused(keys, args[1], true)
  if refused then return refused end
  local moved = group_count(keys, args[2])
  if moved == 0 then return 0 end
  local pieces = {}
  for i, entry in ipairs(entries(redis.call('HGET', keys[2], args[2]))) do pieces[i] = args[4] .. entry[2] end
  local renamed = table.concat(pieces)
  touch(keys)
  if args[2] == args[3] then
    redis.call('HSET', keys[2], args[2], renamed)
    return moved
  end
  local target = group_count(keys, args[3])
  drop_group(keys, args[2])
  append_entries(keys, args[3], target, renamed, moved)
  return moved
end

local function destroy(keys, args)
  return redis.call('DEL', keys[1], keys[2], keys[3], keys[4])
end

-- KEYS: the lock; ARGV: the holder's token
local function unlock(keys, args)
  if redis.call('GET', keys[1]) == args[1] then return redis.call('DEL', keys[1]) end
  return 0
end

redis.register_function(LIB .. '_add', add)
redis.register_function(LIB .. '_put', put)
redis.register_function(LIB .. '_get', get)
redis.register_function(LIB .. '_count', count)
redis.register_function(LIB .. '_remove', remove)
redis.register_function(LIB .. '_totals', totals)
redis.register_function(LIB .. '_all', all)
redis.register_function(LIB .. '_rename', rename)
redis.register_function(LIB .. '_destroy', destroy)
redis.register_function(LIB .. '_clear', clear)
redis.register_function(LIB .. '_replace', replace)
redis.register_function(LIB .. '_add_many', add_many)
redis.register_function(LIB .. '_unlock', unlock)
)lua";

// FNV-1a: a stable digest of the library's text, the same on every compiler.
constexpr std::uint32_t RemoteLibraryDigest(std::string_view text) noexcept
{
    std::uint32_t digest = 2166136261u;
    for (const char byte : text) {
        digest = (digest ^ static_cast<unsigned char>(byte)) * 16777619u;
    }
    return digest;
}

// "korvo_" and eight hex digits of the digest.
inline const std::string& RemoteLibraryName()
{
    static const std::string name = [] {
        static constexpr char kDigits[] = "0123456789abcdef";
        std::string text = "korvo_";
        const std::uint32_t digest = RemoteLibraryDigest(kRemoteLibraryBody);
        for (int shift = 28; shift >= 0; shift -= 4) {
            text.push_back(kDigits[(digest >> shift) & 0xF]);
        }
        return text;
    }();
    return name;
}

// What FUNCTION LOAD takes: the name line, LIB, then the functions.
inline std::string RemoteLibraryText()
{
    const std::string& name = RemoteLibraryName();
    return "#!lua name=" + name + "\nlocal LIB = '" + name + "'" + std::string(kRemoteLibraryBody);
}

} // namespace korvo
