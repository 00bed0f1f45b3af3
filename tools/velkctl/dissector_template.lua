-- The dissector proper. Everything that comes from the configuration is in
-- the table VELK above; nothing below knows a controller by name.
--
-- Framing is read the way the responder reads it: ISO 8583 messages in
-- records of a decimal length prefix of the configured width, or back to back
-- without one; ZTR messages by their own MESSAGE_LENGTH. A malformed message
-- is marked with an expert-info error at the byte where it goes wrong, with
-- the text the responder logs; the dissector itself never raises an error.

local MAX_MESSAGE_LENGTH = VELK.max_message_length
local MTI_LENGTH = 4
local BITMAP_BYTES = 8
local ONE_MORE_SEGMENT = DESEGMENT_ONE_MORE_SEGMENT or 0x0fffffff
local ZTR = VELK.ztr

local velk = Proto("velk", "VELK Tester traffic")

-- Bits set in each byte value, numbered 1 (most significant) to 8: bitmap
-- bits are 1-indexed from the left of the first bitmap byte.
local BITS = {}
for value = 0, 255 do
    local set, rest = {}, value
    for bit = 1, 8 do
        local weight = 2 ^ (8 - bit)
        if rest >= weight then
            set[#set + 1] = bit
            rest = rest - weight
        end
    end
    BITS[value] = set
end

------------------------------------------------------------------------
-- Fields
------------------------------------------------------------------------

local F = {
    record_length = ProtoField.string("velk.record_length", "Record length"),
    controller = ProtoField.string("velk.controller", "Controller"),
    mti = ProtoField.string("velk.mti", "Message Id"),
    bitmap = ProtoField.bytes("velk.bitmap", "Primary bitmap"),
    bitmap2 = ProtoField.bytes("velk.bitmap2", "Secondary bitmap"),
    length_prefix = ProtoField.string("velk.length_prefix", "Length prefix"),
    incomplete = ProtoField.bytes("velk.incomplete", "Incomplete message"),
    undecoded = ProtoField.bytes("velk.undecoded", "Not framed"),
    hash_expected = ProtoField.string("velk.ztr.hash_key.expected", "Expected hash key"),
    hash_bad = ProtoField.bool("velk.ztr.hash_key.bad", "Hash key differs"),
}
local field_list = {}
for _, field in pairs(F) do
    field_list[#field_list + 1] = field
end

-- velk.f2 to velk.f128 for every controller; a field carries the configured
-- name when all controllers agree on it.
local ELEMENT = {}
for n = 2, 128 do
    local name
    for _, controller in ipairs(VELK.controllers) do
        local spec = controller.fields[n]
        if spec then
            if name == nil then
                name = spec[1]
            elseif name ~= spec[1] then
                name = false
            end
        end
    end
    ELEMENT[n] = ProtoField.string("velk.f" .. n, name or ("Field " .. n))
    field_list[#field_list + 1] = ELEMENT[n]
end

-- velk.ztr.message_length, velk.ztr.command ... by the ZTR field table;
-- fields the table does not name are velk.ztr.f58 and so on.
local ZTR_FIELD = {}
if ZTR then
    for n = 1, ZTR.max_fields do
        local name = ZTR.names[n]
        local abbr = name and name:lower() or ("f" .. n)
        ZTR_FIELD[n] = ProtoField.string("velk.ztr." .. abbr, name or ("Field " .. n))
        field_list[#field_list + 1] = ZTR_FIELD[n]
    end
end
velk.fields = field_list

local E = {
    undefined = ProtoExpert.new("velk.undefined_element", "Element the layout does not define",
        expert.group.MALFORMED, expert.severity.ERROR),
    bad_length = ProtoExpert.new("velk.bad_length", "Length that cannot be",
        expert.group.MALFORMED, expert.severity.ERROR),
    odd_length = ProtoExpert.new("velk.length_not_digits", "Length prefix not all digits",
        expert.group.PROTOCOL, expert.severity.WARN),
    too_long = ProtoExpert.new("velk.too_long", "Message longer than the receive buffer",
        expert.group.MALFORMED, expert.severity.ERROR),
    excess = ProtoExpert.new("velk.excess", "Record does not end with a whole message",
        expert.group.MALFORMED, expert.severity.ERROR),
    ztr_format = ProtoExpert.new("velk.ztr.malformed", "Malformed ZTR message",
        expert.group.MALFORMED, expert.severity.ERROR),
    hash_key = ProtoExpert.new("velk.ztr.hash_key_differs", "Hash key differs",
        expert.group.CHECKSUM, expert.severity.ERROR),
    version = ProtoExpert.new("velk.ztr.version_differs", "Version differs",
        expert.group.PROTOCOL, expert.severity.ERROR),
    not_framed = ProtoExpert.new("velk.not_framed", "Bytes after a framing error",
        expert.group.MALFORMED, expert.severity.NOTE),
    no_reassembly = ProtoExpert.new("velk.no_reassembly", "Message incomplete: TCP reassembly is off",
        expert.group.REASSEMBLE, expert.severity.WARN),
}
velk.experts = { E.undefined, E.bad_length, E.odd_length, E.too_long, E.excess, E.ztr_format,
    E.hash_key, E.version, E.not_framed, E.no_reassembly }

------------------------------------------------------------------------
-- Preferences
------------------------------------------------------------------------

velk.prefs.header_length = Pref.uint("ISO 8583 length prefix digits", VELK.header_length,
    "Decimal digits of the record length in front of every ISO 8583 message, as HEADER_LENGTH "
        .. "gives them to the responder: 0 for none; above " .. VELK.max_header_length
        .. " also means none")

------------------------------------------------------------------------
-- Reading the bytes
------------------------------------------------------------------------

-- A decimal length as the responder reads it: leading white space, an
-- optional sign, digits up to the first other character (a NUL ends the
-- text); no digits read as 0.
local function decimal(text)
    local sign, digits = text:match("^[\t-\r ]*([+-]?)(%d*)")
    local value = tonumber(digits) or 0
    if sign == "-" then
        value = -value
    end
    return value
end

-- The text C prints for "%s" of these bytes: up to the first NUL.
local function c_text(bytes)
    return (bytes:match("^[^%z]*"))
end

-- A value as `velkctl show` prints it: bytes outside printable ASCII, and
-- the backslash, as \xHH.
local function shown(value)
    if not value:find("[%c\\\128-\255]") then
        return value
    end
    return (value:gsub("[%c\\\128-\255]", function(c) return string.format("\\x%02x", c:byte()) end))
end

-- Adds a string field whose label is "PREFIX: VALUE" with the value shown as
-- `velkctl show` shows it.
local function add_text(tree, field, range, value, label_prefix)
    if not value:find("[%c\\\128-\255]") then
        return tree:add(field, range, value, label_prefix .. value)
    end
    if value:find("[%c\128-\255]") then
        -- the field's value is read from the bytes, as text Wireshark can hold
        local item = tree:add(field, range)
        item:set_text(label_prefix .. shown(value))
        return item
    end
    return tree:add(field, range, value, label_prefix .. shown(value))
end

-- The width of an item that marks `width` bytes at `at`: a fault of no width
-- (a field that is missing) marks the byte where it would begin, or nothing
-- when that is the end of the buffer; a range past the end would raise a Lua
-- error and lose the fault.
local function item_width(tvb, at, width)
    if width > 0 then
        return width
    end
    return at < tvb:len() and 1 or 0
end

-- Whether the current packet gets a tree. Without one (tshark's one-line
-- summary, Wireshark's first pass) no items are made: only the columns and
-- the expert information are filled. Set per packet by dissect.
local building_tree = true

-- A packet without a tree has a tree item without text; Wireshark versions
-- whose tree items have no text attribute always get the items.
local text_attribute = true
local function tree_is_built(tree)
    if text_attribute then
        local ok, text = pcall(function() return tree.text end)
        if ok then
            return text ~= nil
        end
        text_attribute = false
    end
    return true
end

------------------------------------------------------------------------
-- ISO 8583
------------------------------------------------------------------------

-- Walks one message at `start` (0-based) of the string `s`. `have` bytes from
-- `start` on are present; the message may not reach past `start + limit`
-- (the end of its record, or the receive buffer). Returns
--   "whole", message
--   "more",  message, bytes still needed (nil when not known)
--   "short", message  (it would reach past the limit)
--   "bad",   message  (message.error says where and why)
-- message.elements lists what was read: { n, prefix offset, prefix width,
-- value offset, value length }.
local function walk_8583(s, start, have, limit, layout)
    local message = { start = start, elements = {} }
    local elements = message.elements
    local stop = start + (have < limit and have or limit)
    local hard_stop = start + limit
    local function need(upto)
        if upto > hard_stop then
            return "short"
        end
        if upto > stop then
            return "more", upto - stop
        end
    end
    local status, more = need(start + MTI_LENGTH + BITMAP_BYTES)
    if status then
        return status, message, more
    end
    local bitmap_at = start + MTI_LENGTH
    local bitmap_bytes = s:byte(bitmap_at + 1) >= 128 and 2 * BITMAP_BYTES or BITMAP_BYTES
    status, more = need(bitmap_at + bitmap_bytes)
    if status then
        return status, message, more
    end
    message.bitmap_bytes = bitmap_bytes
    local position = bitmap_at + bitmap_bytes
    local bitmap = { s:byte(bitmap_at + 1, bitmap_at + bitmap_bytes) }
    for index = 1, bitmap_bytes do
        for _, bit in ipairs(BITS[bitmap[index]]) do
            local n = (index - 1) * 8 + bit
            if n > 1 then
                message.length = position - start
                local spec = layout[n]
                if not spec then
                    -- the bit that names it is where it goes wrong
                    message.error = { bitmap_at + index - 1, 1, E.undefined,
                        string.format("Disassemble8583: Unknown field %d", n) }
                    return "bad", message
                end
                local width, length = spec[3], spec[2]
                local element = { n, position, width }
                if width > 0 then
                    status, more = need(position + width)
                    if status then
                        return status, message, more
                    end
                    local prefix = s:sub(position + 1, position + width)
                    length = decimal(prefix)
                    if length < 0 then
                        message.error = { position, width, E.bad_length, string.format(
                            "Disassemble8583: Invalid length %d of field %d", length, n) }
                        return "bad", message
                    end
                    if prefix:find("[^0-9]") then
                        element.odd = string.format("Length prefix '%s' of field %d read as %d",
                            shown(prefix), n, length)
                    end
                    position = position + width
                end
                status, more = need(position + length)
                if status then
                    -- the prefix arrived, the value did not
                    if width > 0 then
                        elements[#elements + 1] = element
                        message.length = position - start
                    end
                    return status, message, more
                end
                element[4], element[5] = position, length
                elements[#elements + 1] = element
                position = position + length
            end
        end
    end
    message.length = position - start
    return "whole", message
end

-- " (fields 2, 3, 11)" for the 8 bitmap bytes at `from` (1-based), whose
-- first bit is bit base + 1. Long captures repeat a few bitmaps: the texts
-- are kept, a bounded number of them.
local bitmap_texts, bitmap_text_count = { [0] = {}, [64] = {} }, 0
local function field_list_text(s, from, base)
    local bytes = s:sub(from, from + BITMAP_BYTES - 1)
    local text = bitmap_texts[base][bytes]
    if text then
        return text
    end
    local numbers = {}
    for index = 1, BITMAP_BYTES do
        for _, bit in ipairs(BITS[bytes:byte(index)]) do
            local n = base + (index - 1) * 8 + bit
            if n > 1 then
                numbers[#numbers + 1] = n
            end
        end
    end
    text = #numbers == 0 and " (no fields)" or " (fields " .. table.concat(numbers, ", ") .. ")"
    if bitmap_text_count >= 1024 then
        bitmap_texts, bitmap_text_count = { [0] = {}, [64] = {} }, 0
    end
    bitmap_texts[base][bytes] = text
    bitmap_text_count = bitmap_text_count + 1
    return text
end

-- Adds the message's items under `tree`; `record` is the length prefix's
-- offset and width when the message is a record's first.
local function render_8583(tvb, tree, s, message, controller, record)
    if not building_tree then
        -- no items, but the faults still reach Wireshark's expert information
        if message.error then
            tree:add_proto_expert_info(message.error[3], message.error[4])
        end
        return tree, s:sub(message.start + 1, message.start + MTI_LENGTH)
    end
    local start = message.start
    local length = message.length or 0
    local covered = length
    if record then
        covered = covered + record[2]
        start = record[1]
    end
    local mti = s:sub(message.start + 1, message.start + MTI_LENGTH)
    local root = tree:add(velk, tvb(start, covered > 0 and covered or 1),
        "VELK " .. controller.id .. ", Message Id " .. shown(mti))
    if record then
        local prefix = s:sub(record[1] + 1, record[1] + record[2])
        add_text(root, F.record_length, tvb(record[1], record[2]), prefix, "Record length: ")
    end
    root:add(F.controller, controller.id):set_generated()
    if #mti == MTI_LENGTH then
        add_text(root, F.mti, tvb(message.start, MTI_LENGTH), mti, "0 Message Id: ")
    end
    if message.bitmap_bytes then
        local at = message.start + MTI_LENGTH
        root:add(F.bitmap, tvb(at, BITMAP_BYTES)):append_text(
            field_list_text(s, at + 1, 0))
        if message.bitmap_bytes > BITMAP_BYTES then
            root:add(F.bitmap2, tvb(at + BITMAP_BYTES, BITMAP_BYTES)):append_text(
                field_list_text(s, at + BITMAP_BYTES + 1, 64))
        end
    end
    local labels = controller.labels
    for _, element in ipairs(message.elements) do
        local n, prefix_at, width, at, value_length = element[1], element[2], element[3],
            element[4], element[5]
        local item
        if at == nil then
            -- the prefix was read, the value did not arrive
            item = root:add(ELEMENT[n], tvb(prefix_at, width))
            item:set_text(n .. " " .. controller.names[n] .. " (value missing)")
        elseif value_length == 0 then
            item = root:add(ELEMENT[n], tvb(prefix_at, width), "")
            item:set_text(n .. " " .. controller.names[n] .. " (empty)")
        else
            item = add_text(root, ELEMENT[n], tvb(prefix_at, at + value_length - prefix_at),
                s:sub(at + 1, at + value_length), labels[n])
        end
        if width > 0 then
            local prefix_item = add_text(item, F.length_prefix, tvb(prefix_at, width),
                s:sub(prefix_at + 1, prefix_at + width), "Length prefix: ")
            if element.odd then
                prefix_item:add_proto_expert_info(E.odd_length, element.odd)
            end
        end
    end
    if message.error then
        local at, width, expert_field, text = message.error[1], message.error[2],
            message.error[3], message.error[4]
        root:add(tvb(at, width), "Error: " .. text):add_proto_expert_info(expert_field, text)
    end
    return root, mti
end

------------------------------------------------------------------------
-- ZTR
------------------------------------------------------------------------

-- The key of the HASH_KEY fields as the responder computes it.
local function ztr_hash_key(s, slots)
    local sum, position = 0, 0
    for _, n in ipairs(ZTR.hash_key_fields) do
        local slot = slots[n]
        if slot then
            local bytes = { s:byte(slot[1] + 1, slot[1] + slot[2]) }
            for i = 1, #bytes do
                local b = bytes[i]
                if b == 0 then
                    -- a NUL ends the input on both sides
                    goto finish
                end
                if b ~= 32 then
                    local signed = b >= 128 and b - 256 or b
                    sum = (sum + (signed - 30) * position) % 4294967296
                end
                position = position + 1
            end
        end
    end
    ::finish::
    local key = (sum * 9) % 4294967296
    if key >= 2147483648 then
        key = key - 4294967296
    end
    local text = string.format("%08d", key)
    return text:sub(1, 6):reverse() .. text:sub(7)
end

-- Splits one whole ZTR message of `total` bytes at `start` into slots
-- { offset, length } and lists what is wrong with it, in the order the
-- responder checks.
local function walk_ztr(s, start, total)
    local message = { start = start, length = total, slots = {}, errors = {} }
    local errors = message.errors
    message.slots[1] = { start, 5 }
    if s:byte(start + 6) ~= ZTR.separator then
        errors[#errors + 1] = { start + 5, 1, E.ztr_format, "DisassembleZTR: No delimiter follows length" }
        return message
    end
    local slots = message.slots
    local stop = start + total
    local at = start + 6
    local n = 2
    local sep = string.char(ZTR.separator)
    while at < stop do
        local next_sep = s:find(sep, at + 1, true)
        local field_end = (next_sep and next_sep - 1 < stop) and next_sep - 1 or stop
        if field_end > at then
            slots[n] = { at, field_end - at }
        end
        at = field_end
        if at >= stop then
            break
        end
        if n == ZTR.max_fields then
            errors[#errors + 1] = { at, stop - at, E.ztr_format, string.format(
                "DisassembleZTR: Message has more than %d fields", ZTR.max_fields) }
            break
        end
        at = at + 1
        n = n + 1
    end
    local key = slots[2]
    message.expected_key = ztr_hash_key(s, slots):sub(1, 8)
    if not key or key[2] ~= 8 then
        errors[#errors + 1] = { key and key[1] or start + 6, key and key[2] or 0, E.ztr_format,
            string.format("DisassembleZTR: Invalid Length of Hash Key[%d]", key and key[2] or 0) }
    else
        local received = s:sub(key[1] + 1, key[1] + 8)
        if received ~= message.expected_key then
            message.key_differs = true
            errors[#errors + 1] = { key[1], 8, E.hash_key, string.format(
                "DisassembleZTR: Hash Key Expected %s Rcvd %s", message.expected_key, c_text(received)) }
        end
    end
    local version = slots[3]
    local received = version and s:sub(version[1] + 1, version[1] + (version[2] < 4 and version[2] or 4)) or ""
    if received ~= ZTR.version then
        local at = version and version[1] or (key and key[1] + key[2] or start + 6)
        errors[#errors + 1] = { at, version and version[2] or 0, E.version, string.format(
            "DisassembleZTR: Versn Expected: %s Rcvd: %4s", ZTR.version, c_text(received)) }
    end
    return message
end

local function render_ztr(tvb, tree, s, message, controller)
    local start = message.start
    local command = message.slots[4]
    local command_text = command and shown(s:sub(command[1] + 1, command[1] + command[2])) or ""
    if not building_tree then
        for _, err in ipairs(message.errors) do
            tree:add_proto_expert_info(err[3], err[4])
        end
        return tree, command_text
    end
    local root = tree:add(velk, tvb(start, message.length), "VELK ZTR, COMMAND " .. command_text)
    root:add(F.controller, controller.id):set_generated()
    local items = {}
    for n = 1, ZTR.max_fields do
        local slot = message.slots[n]
        if slot then
            items[n] = add_text(root, ZTR_FIELD[n], tvb(slot[1], slot[2]),
                s:sub(slot[1] + 1, slot[1] + slot[2]), ZTR.labels[n])
        end
    end
    local key_item = items[2] or root
    if message.expected_key then
        key_item:add(F.hash_expected, message.expected_key):set_generated()
    end
    if message.key_differs then
        key_item:add(F.hash_bad, true):set_generated()
    end
    for _, err in ipairs(message.errors) do
        local at, width, expert_field, text = err[1], err[2], err[3], err[4]
        local item = (expert_field == E.hash_key and items[2]) or (expert_field == E.version and items[3])
        if not item then
            item = root:add(tvb(at, item_width(tvb, at, width)), "Error: " .. text)
        end
        item:add_proto_expert_info(expert_field, text)
    end
    return root, command_text
end

------------------------------------------------------------------------
-- Framing
------------------------------------------------------------------------

-- Marks the bytes from `at` on as not framed: after such an error the
-- responder ends the connection and reads nothing more.
local function not_framed(tvb, tree, at, total, why)
    if at < total then
        tree:add(F.undecoded, tvb(at, total - at)):add_proto_expert_info(E.not_framed,
            "Not decoded: " .. why)
    end
end

-- Each decoder takes the message at `offset` and returns the bytes it took,
-- or 0 and the bytes still needed (nil: at least one more segment), or -1
-- when the stream can no longer be framed (everything after is marked).

local function decode_record(tvb, pinfo, tree, s, offset, total, controller, width, info)
    local have = total - offset
    if have < width then
        return 0, nil
    end
    local prefix = s:sub(offset + 1, offset + width)
    local length = decimal(c_text(prefix))
    if length < 1 or length > MAX_MESSAGE_LENGTH then
        local text = string.format("Record length specified : %d longer than %d", length,
            MAX_MESSAGE_LENGTH)
        local root = tree:add(velk, tvb(offset, width))
        root:set_text("VELK " .. controller.id .. ", bad record length")
        add_text(root, F.record_length, tvb(offset, width), prefix, "Record length: ")
            :add_proto_expert_info(E.bad_length, text)
        not_framed(tvb, tree, offset + width, total, text)
        info[#info + 1] = "bad record length"
        return -1
    end
    if have < width + length then
        return 0, width + length - have
    end
    local body = offset + width
    local body_end = body + length
    local at = body
    local record = { offset, width }
    while at < body_end do
        local status, message = walk_8583(s, at, body_end - at, body_end - at, controller.fields)
        local root, mti = render_8583(tvb, tree, s, message, controller, record)
        record = nil
        info[#info + 1] = shown(mti)
        if status == "whole" then
            at = at + message.length
        else
            if status ~= "bad" then
                local text = string.format("ReadPort: Formatting error %d bytes in excess", body_end - at)
                root:add(F.incomplete, tvb(at, body_end - at)):add_proto_expert_info(E.excess, text)
            end
            break
        end
    end
    return width + length
end

local function decode_stream(tvb, pinfo, tree, s, offset, total, controller, info)
    local status, message, more = walk_8583(s, offset, total - offset, MAX_MESSAGE_LENGTH,
        controller.fields)
    if status == "more" then
        -- the length is known only once every element has arrived
        return 0, nil
    end
    local root, mti = render_8583(tvb, tree, s, message, controller, nil)
    info[#info + 1] = shown(mti)
    if status == "whole" then
        return message.length
    end
    if status == "short" then
        local text = string.format("GetMsg: Message longer than %d", MAX_MESSAGE_LENGTH)
        root:add_proto_expert_info(E.too_long, text)
        not_framed(tvb, tree, offset + message.length, total, text)
    else
        not_framed(tvb, tree, offset + message.length, total, message.error[4])
    end
    return -1
end

local function decode_ztr(tvb, pinfo, tree, s, offset, total, controller, info)
    local have = total - offset
    if have < 5 then
        return 0, nil
    end
    local length_text = s:sub(offset + 1, offset + 5)
    local length = decimal(c_text(length_text))
    local text
    if length <= 0 then
        text = "DisassembleZTR: Invalid Msg Len fld: " .. c_text(length_text)
    elseif 5 + length > MAX_MESSAGE_LENGTH then
        text = string.format("GetMsg: Message longer than %d", MAX_MESSAGE_LENGTH)
    end
    if text then
        local root = tree:add(velk, tvb(offset, 5))
        root:set_text("VELK ZTR, bad message length")
        add_text(root, ZTR_FIELD[1], tvb(offset, 5), length_text, ZTR.labels[1])
            :add_proto_expert_info(E.ztr_format, text)
        not_framed(tvb, tree, offset + 5, total, text)
        info[#info + 1] = "bad message length"
        return -1
    end
    if have < 5 + length then
        return 0, 5 + length - have
    end
    local message = walk_ztr(s, offset, 5 + length)
    local _, command = render_ztr(tvb, tree, s, message, controller)
    info[#info + 1] = command
    return 5 + length
end

-- Dissects every whole message in `tvb` and asks TCP for the rest of an
-- unfinished one.
local function dissect(tvb, pinfo, tree, controller)
    local total = tvb:len()
    local s = tvb:raw(0, total)
    local offset = 0
    local info = {}
    building_tree = tree_is_built(tree)
    local width = velk.prefs.header_length
    if width > VELK.max_header_length then
        width = 0
    end
    while offset < total do
        local taken, more
        if controller.ztr then
            taken, more = decode_ztr(tvb, pinfo, tree, s, offset, total, controller, info)
        elseif width > 0 then
            taken, more = decode_record(tvb, pinfo, tree, s, offset, total, controller, width, info)
        else
            taken, more = decode_stream(tvb, pinfo, tree, s, offset, total, controller, info)
        end
        if taken < 0 then
            offset = total
            break
        end
        if taken == 0 then
            if pinfo.can_desegment > 0 then
                pinfo.desegment_offset = offset
                pinfo.desegment_len = more or ONE_MORE_SEGMENT
            else
                tree:add(F.incomplete, tvb(offset, total - offset)):add_proto_expert_info(
                    E.no_reassembly)
                offset = total
            end
            break
        end
        offset = offset + taken
    end
    if #info > 0 then
        pinfo.cols.protocol = "VELK"
        pinfo.cols.info = controller.id .. " " .. table.concat(info, ", ")
    end
    return total
end

------------------------------------------------------------------------
-- One dissector per controller, each in "Decode As" and on the ports its
-- preferences name: plain TCP ports, and TLS ports whose records, once
-- decrypted (tls.keylog_file), carry the controller's messages.
------------------------------------------------------------------------

local tcp_port = DissectorTable.get("tcp.port")
local tls_port = DissectorTable.get("tls.port")
local tls = Dissector.get("tls")
local registered = {}
local registered_tls = {}

for _, controller in ipairs(VELK.controllers) do
    controller.labels = {}
    controller.names = {}
    for n, spec in pairs(controller.fields) do
        controller.names[n] = spec[1]
        controller.labels[n] = n .. " " .. spec[1] .. ": "
    end
end
if ZTR then
    ZTR.labels = {}
    for n = 1, ZTR.max_fields do
        ZTR.labels[n] = n .. " " .. (ZTR.names[n] or "") .. ": "
    end
end

for _, controller in ipairs(VELK.controllers) do
    local proto = Proto("velk_" .. controller.key, "VELK " .. controller.id)
    proto.dissector = function(tvb, pinfo, tree)
        return dissect(tvb, pinfo, tree, controller)
    end
    controller.proto = proto
    tcp_port:add_for_decode_as(proto)
    tls_port:add_for_decode_as(proto)
    velk.prefs["ports_" .. controller.key] = Pref.range(controller.id .. " TCP ports",
        controller.ports, "TCP ports whose traffic is decoded as " .. controller.id, 65535)
    velk.prefs["tls_ports_" .. controller.key] = Pref.range(controller.id .. " TLS ports", "",
        "TCP ports whose TLS traffic, decrypted, is decoded as " .. controller.id, 65535)
end

local function register_ports()
    for _, controller in ipairs(VELK.controllers) do
        local ports = velk.prefs["ports_" .. controller.key]
        if registered[controller] ~= ports then
            if registered[controller] and registered[controller] ~= "" then
                tcp_port:remove(registered[controller], controller.proto)
            end
            if ports ~= "" then
                tcp_port:add(ports, controller.proto)
            end
            registered[controller] = ports
        end
        local tls_ports = velk.prefs["tls_ports_" .. controller.key]
        if registered_tls[controller] ~= tls_ports then
            if registered_tls[controller] and registered_tls[controller] ~= "" then
                tcp_port:remove(registered_tls[controller], tls)
                tls_port:remove(registered_tls[controller], controller.proto)
            end
            if tls_ports ~= "" then
                tcp_port:add(tls_ports, tls)
                tls_port:add(tls_ports, controller.proto)
            end
            registered_tls[controller] = tls_ports
        end
    end
end

velk.prefs_changed = register_ports
register_ports()
