-- The dissector proper. Everything that comes from the configuration is in
-- the table VELK above; nothing below knows a controller by name.
--
-- Framing is read the way the responder reads it: ISO 8583 messages in
-- records of a decimal length prefix of the configured width, or back to back
-- without one; ZTR messages by their own MESSAGE_LENGTH. A controller with a
-- link record (controller.link) frames its records as its FRAMING says, with
-- its TPDU and trailer, and carries its MTI, bitmaps, values and length
-- prefixes in the encodings it names; values are shown in their value form
-- (BCD as digits, EBCDIC as text, BINARY as upper-case hexadecimal). A
-- malformed message is marked with an expert-info error at the byte where it
-- goes wrong, with the text the responder logs; the dissector itself never
-- raises an error.

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

-- EBCDIC to Latin-1, one character a byte value, for each code page: 037,
-- and 1047 and 500 by the places where they differ from it.
local CP037 = "\000\001\002\003\156\009\134\127\151\141\142\011\012\013\014\015\016\017\018\019\157\133\008\135\024\025\146\143\028\029\030\031\128\129\130\131\132\010\023\027\136\137\138\139\140\005\006\007\144\145\022\147\148\149\150\004\152\153\154\155\020\021\158\026" ..
    " \160\226\228\224\225\227\229\231\241\162.<(+|&\233\234\235\232\237\238\239\236\223!$*);\172-/\194\196\192\193\195\197\199\209\166,%_>?\248\201\202\203\200\205\206\207\204`:#@'=\034" ..
    "\216abcdefghi\171\187\240\253\254\177\176jklmnopqr\170\186\230\184\198\164\181~stuvwxyz\161\191\208\221\222\174^\163\165\183\169\167\182\188\189\190[]\175\168\180\215" ..
    "{ABCDEFGHI\173\244\246\242\243\245}JKLMNOPQR\185\251\252\249\250\255\092\247STUVWXYZ\178\212\214\210\211\2130123456789\179\219\220\217\218\159"
local function code_page(changes)
    local page = {}
    for byte = 0, 255 do
        page[byte] = changes[byte] and string.char(changes[byte]) or CP037:sub(byte + 1, byte + 1)
    end
    return page
end
local CODE_PAGES = {
    ["037"] = code_page({}),
    ["1047"] = code_page({ [0x5F] = 0x5E, [0xAD] = 0x5B, [0xB0] = 0xAC, [0xBA] = 0xDD,
        [0xBB] = 0xA8, [0xBD] = 0x5D }),
    ["500"] = code_page({ [0x4A] = 0x5B, [0x4F] = 0x21, [0x5A] = 0x5D, [0x5F] = 0x5E,
        [0xB0] = 0xA2, [0xBA] = 0xAC, [0xBB] = 0x7C }),
}

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
    tpdu = ProtoField.bytes("velk.tpdu", "TPDU"),
    tpdu_id = ProtoField.uint8("velk.tpdu.id", "TPDU id", base.HEX),
    tpdu_destination = ProtoField.uint16("velk.tpdu.destination", "Destination address", base.HEX),
    tpdu_source = ProtoField.uint16("velk.tpdu.source", "Source address", base.HEX),
    trailer = ProtoField.bytes("velk.trailer", "Trailer"),
    keepalive = ProtoField.bool("velk.keepalive", "Keep-alive"),
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

-- The data objects of a BER-TLV field N (FIELD_FORMAT TLV in any
-- controller): velk.fN.9f02 and so on for the tags of the EMV table,
-- velk.fN.other for the rest, each object's tag and length, and the bytes
-- after a malformed object.
local EMV_NAMES = {}
for _, row in ipairs(VELK.emv_tags or {}) do
    EMV_NAMES[row[1]] = row[2]
end
local TLV = {}
for n = 2, 128 do
    for _, controller in ipairs(VELK.controllers) do
        local spec = controller.fields[n]
        if spec and spec.tlv and not TLV[n] then
            local prefix = "velk.f" .. n .. "."
            local fields = {
                tags = {},
                other = ProtoField.string(prefix .. "other", "Data object"),
                tag = ProtoField.string(prefix .. "tag", "Tag"),
                length = ProtoField.uint32(prefix .. "length", "Length"),
                raw = ProtoField.bytes(prefix .. "undecoded", "Not decoded"),
            }
            for _, row in ipairs(VELK.emv_tags or {}) do
                fields.tags[row[1]] = ProtoField.string(prefix .. row[1]:lower(), row[2])
                field_list[#field_list + 1] = fields.tags[row[1]]
            end
            for _, key in ipairs({ "other", "tag", "length", "raw" }) do
                field_list[#field_list + 1] = fields[key]
            end
            TLV[n] = fields
        end
    end
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
    bad_bitmap = ProtoExpert.new("velk.bad_bitmap", "Bitmap not hexadecimal",
        expert.group.MALFORMED, expert.severity.ERROR),
    not_bcd = ProtoExpert.new("velk.not_bcd", "Nibble that is not a BCD digit",
        expert.group.MALFORMED, expert.severity.WARN),
    trailer = ProtoExpert.new("velk.trailer_differs", "Trailer differs from the configured one",
        expert.group.MALFORMED, expert.severity.ERROR),
    prefix_guess = ProtoExpert.new("velk.unexpected_prefix",
        "Length prefix the dissector was not set for", expert.group.PROTOCOL, expert.severity.WARN),
    tlv = ProtoExpert.new("velk.tlv_malformed", "Malformed BER-TLV data object",
        expert.group.MALFORMED, expert.severity.NOTE),
}
velk.experts = { E.undefined, E.bad_length, E.odd_length, E.too_long, E.excess, E.ztr_format,
    E.hash_key, E.version, E.not_framed, E.no_reassembly, E.bad_bitmap, E.not_bcd, E.trailer,
    E.prefix_guess, E.tlv }

------------------------------------------------------------------------
-- Preferences
------------------------------------------------------------------------

velk.prefs.header_length = Pref.uint("ISO 8583 length prefix digits", VELK.header_length,
    "Decimal digits of the record length in front of every ISO 8583 message of a controller "
        .. "without FRAMING, as HEADER_LENGTH gives them to the responder: 0 for none; above "
        .. VELK.max_header_length .. " also means none")

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
-- Value forms
------------------------------------------------------------------------

local HEX = {}
-- Two BCD digits a byte; the nibble D is the track-data separator "=", the
-- other nibbles above 9 are shown as their hexadecimal digit.
local BCD = {}
local NIBBLE = { [0] = "0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "A", "B", "C", "=", "E", "F" }
for byte = 0, 255 do
    HEX[byte] = string.format("%02X", byte)
    BCD[byte] = NIBBLE[math.floor(byte / 16)] .. NIBBLE[byte % 16]
end

local function hex(bytes)
    return (bytes:gsub(".", function(c) return HEX[c:byte()] end))
end

local function bcd_digits(bytes)
    return (bytes:gsub(".", function(c) return BCD[c:byte()] end))
end

local function ebcdic(bytes, page)
    return (bytes:gsub(".", function(c) return page[c:byte()] end))
end

local function is_bcd(encoding)
    return encoding == "BCD" or encoding == "BCD_RIGHT" or encoding == "BCD_F"
end

-- The bytes a value of `units` takes on the wire: MAX_LEN and a length
-- prefix count digits for the BCD forms, characters or bytes for the rest.
local function value_width(spec, units)
    if is_bcd(spec.enc) then
        return math.floor((units + 1) / 2)
    end
    return units
end

-- The bytes of a variable field's length prefix: LENGTH_BYTES digits as
-- characters, in BCD two a byte, or one binary byte (two for three digits).
local function prefix_width(spec)
    local digits, encoding = spec[3], spec.len_enc
    if digits == 0 then
        return 0
    elseif encoding == "BCD" then
        return math.floor((digits + 1) / 2)
    elseif encoding == "BINARY" then
        return digits <= 2 and 1 or 2
    end
    return digits
end

-- The length a prefix gives and the text it is shown as, and whether that
-- text holds other characters than digits; nil when a BCD prefix holds a
-- nibble above 9. ASCII and EBCDIC prefixes are read as the responder reads
-- decimal text.
local function prefix_length(spec, prefix, page)
    local encoding = spec.len_enc
    if encoding == "BCD" then
        local digits = bcd_digits(prefix)
        if digits:find("[^0-9]") then
            return nil, hex(prefix)
        end
        return tonumber(digits), digits, false
    elseif encoding == "BINARY" then
        local value = 0
        for i = 1, #prefix do
            value = value * 256 + prefix:byte(i)
        end
        return value, tostring(value), false
    end
    local text = encoding == "EBCDIC" and ebcdic(prefix, page) or prefix
    return decimal(text), text, text:find("[^0-9]") ~= nil
end

-- A converted value's value form, and whether a BCD value holds a nibble
-- that is no digit (the separator D aside). `units` is the value's length in
-- digits: an odd count drops the pad nibble, first for BCD, last for the
-- other BCD forms.
local function value_form(spec, raw, units, page)
    local encoding = spec.enc
    if encoding == "EBCDIC" then
        return ebcdic(raw, page), false
    elseif encoding == "BINARY" then
        return hex(raw), false
    end
    local digits = bcd_digits(raw)
    if #digits > units then
        digits = encoding == "BCD" and digits:sub(#digits - units + 1) or digits:sub(1, units)
    end
    return digits, digits:find("[A-CEF]") ~= nil
end

-- The MTI's value form.
local function mti_form(controller, raw)
    if controller.mti_encoding == "BCD" then
        return bcd_digits(raw)
    elseif controller.mti_encoding == "EBCDIC" then
        return ebcdic(raw, controller.page)
    end
    return raw
end

-- A bitmap's 8 bytes from its wire form; nil when a hexadecimal bitmap holds
-- a character that is no hexadecimal digit.
local function bitmap_form(controller, raw)
    local encoding = controller.bitmap_encoding
    if encoding == "BINARY" then
        return raw
    end
    local text = encoding == "EBCDIC_HEX" and ebcdic(raw, controller.page) or raw
    if text:find("[^%x]") then
        return nil
    end
    return (text:gsub("%x%x", function(digits) return string.char(tonumber(digits, 16)) end))
end

-- Adds a converted value (one whose wire form is not its value form): the
-- field holds the value form, with what is not printable as \xHH.
local function add_value(tree, field, range, value, label_prefix)
    local text = shown(value)
    return tree:add(field, range, text, label_prefix .. text)
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
-- value offset, value length on the wire, value length in units }.
local function walk_8583(s, start, have, limit, controller)
    local layout = controller.fields
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
    local mti_width, bitmap_width = controller.mti_width, controller.bitmap_width
    local status, more = need(start + mti_width + bitmap_width)
    if status then
        return status, message, more
    end
    local bitmap_at = start + mti_width
    local primary = bitmap_form(controller, s:sub(bitmap_at + 1, bitmap_at + bitmap_width))
    if not primary then
        message.length = mti_width
        message.error = { bitmap_at, bitmap_width, E.bad_bitmap,
            "Disassemble8583: Primary bitmap is not hexadecimal" }
        return "bad", message
    end
    local bitmap = primary
    if primary:byte(1) >= 128 then
        status, more = need(bitmap_at + 2 * bitmap_width)
        if status then
            return status, message, more
        end
        local secondary = bitmap_form(controller,
            s:sub(bitmap_at + bitmap_width + 1, bitmap_at + 2 * bitmap_width))
        if not secondary then
            message.length = mti_width
            message.error = { bitmap_at + bitmap_width, bitmap_width, E.bad_bitmap,
                "Disassemble8583: Secondary bitmap is not hexadecimal" }
            return "bad", message
        end
        bitmap = primary .. secondary
    end
    message.bitmap = bitmap
    -- the wire bytes of one bitmap byte
    local byte_width = bitmap_width / BITMAP_BYTES
    local position = bitmap_at + byte_width * #bitmap
    for index = 1, #bitmap do
        for _, bit in ipairs(BITS[bitmap:byte(index)]) do
            local n = (index - 1) * 8 + bit
            if n > 1 then
                message.length = position - start
                local spec = layout[n]
                if not spec then
                    -- the bit that names it is where it goes wrong
                    message.error = { bitmap_at + (index - 1) * byte_width, byte_width, E.undefined,
                        string.format("Disassemble8583: Unknown field %d", n) }
                    return "bad", message
                end
                local width, length = prefix_width(spec), spec[2]
                local element = { n, position, width }
                if width > 0 then
                    status, more = need(position + width)
                    if status then
                        return status, message, more
                    end
                    local prefix = s:sub(position + 1, position + width)
                    local text, odd
                    length, text, odd = prefix_length(spec, prefix, controller.page)
                    if length == nil then
                        message.error = { position, width, E.bad_length, string.format(
                            "Disassemble8583: Length prefix %s of field %d is not BCD", text, n) }
                        return "bad", message
                    end
                    if length < 0 then
                        message.error = { position, width, E.bad_length, string.format(
                            "Disassemble8583: Invalid length %d of field %d", length, n) }
                        return "bad", message
                    end
                    if spec.len_enc and spec.len_enc ~= "ASCII" then
                        element.prefix_text = text
                    end
                    if odd then
                        element.odd = string.format("Length prefix '%s' of field %d read as %d",
                            shown(text), n, length)
                    end
                    position = position + width
                end
                local wire = value_width(spec, length)
                status, more = need(position + wire)
                if status then
                    -- the prefix arrived, the value did not
                    if width > 0 then
                        elements[#elements + 1] = element
                        message.length = position - start
                    end
                    return status, message, more
                end
                element[4], element[5], element[6] = position, wire, length
                elements[#elements + 1] = element
                position = position + wire
            end
        end
    end
    message.length = position - start
    return "whole", message
end

-- " (fields 2, 3, 11)" for the 8 bitmap bytes `bytes`, whose first bit is
-- bit base + 1. Long captures repeat a few bitmaps: the texts are kept, a
-- bounded number of them.
local bitmap_texts, bitmap_text_count = { [0] = {}, [64] = {} }, 0
local function field_list_text(bytes, base)
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

-- Constructed data objects nest; deeper than this the rest is left raw.
local MAX_TLV_DEPTH = 16

-- Adds the BER-TLV data objects of the bytes from `from` to `stop` (0-based)
-- under `tree`, in the order received: one- and multi-byte tags, short and
-- long lengths, the children of a constructed object beneath it. At a
-- malformed object the rest of the bytes are shown raw with a note at the
-- byte where it goes wrong; the field itself stays as it is.
local function render_tlv(tvb, tree, s, from, stop, fields, depth)
    local at = from
    local function malformed(where, text)
        tree:add(fields.raw, tvb(at, stop - at)):add_proto_expert_info(E.tlv,
            string.format("BER-TLV at byte %d of the field: %s", where - depth.field_start, text))
    end
    while at < stop do
        local first = s:byte(at + 1)
        local tag_end = at + 1
        if first % 32 == 31 then
            repeat
                if tag_end >= stop then
                    return malformed(at, "tag " .. hex(s:sub(at + 1, stop)) .. " cut short")
                end
                tag_end = tag_end + 1
            until s:byte(tag_end) < 128
        end
        local tag = hex(s:sub(at + 1, tag_end))
        if tag_end >= stop then
            return malformed(at, "no length after tag " .. tag)
        end
        local length = s:byte(tag_end + 1)
        local value_at = tag_end + 1
        if length >= 128 then
            local count = length - 128
            if count == 0 or count > 4 then
                return malformed(tag_end, string.format("length of tag %s in %s",
                    tag, count == 0 and "the indefinite form" or count .. " bytes"))
            end
            if value_at + count > stop then
                return malformed(tag_end, "length of tag " .. tag .. " cut short")
            end
            length = 0
            for i = 1, count do
                length = length * 256 + s:byte(value_at + i)
            end
            value_at = value_at + count
        end
        if value_at + length > stop then
            return malformed(at, string.format("tag %s has length %d, %d bytes are left", tag,
                length, stop - value_at))
        end
        local name = EMV_NAMES[tag]
        local field = fields.tags[tag] or fields.other
        local value = hex(s:sub(value_at + 1, value_at + length))
        local item = tree:add(field, tvb(at, value_at + length - at), value,
            tag .. (name and " " .. name or "") .. ": " .. value)
        item:add(fields.tag, tvb(at, tag_end - at), tag)
        item:add(fields.length, tvb(tag_end, value_at - tag_end), length)
        -- bit 6 of the first tag byte marks a constructed object
        if math.floor(first / 32) % 2 == 1 and length > 0 then
            if depth.level >= MAX_TLV_DEPTH then
                item:add(fields.raw, tvb(value_at, length))
            else
                depth.level = depth.level + 1
                render_tlv(tvb, item, s, value_at, value_at + length, fields, depth)
                depth.level = depth.level - 1
            end
        end
        at = value_at + length
    end
end

-- Adds the message's items under `tree`; `record` describes the record
-- around the message when it is the record's first: { header offset,
-- header width, length text, TPDU offset or nil, hint }.
local function render_8583(tvb, tree, s, message, controller, record)
    local mti_width = controller.mti_width
    local mti_raw = s:sub(message.start + 1, message.start + mti_width)
    local mti = mti_form(controller, mti_raw)
    if not building_tree then
        -- no items, but the faults still reach Wireshark's expert information
        if message.error then
            tree:add_proto_expert_info(message.error[3], message.error[4])
        end
        if record and record[5] then
            tree:add_proto_expert_info(E.prefix_guess, record[5])
        end
        -- a BER-TLV field's notes: its objects are read, their items go nowhere
        for _, element in ipairs(message.elements) do
            local n, at, value_length = element[1], element[4], element[5]
            if TLV[n] and controller.fields[n].tlv and at and value_length > 0 then
                render_tlv(tvb, tree, s, at, at + value_length, TLV[n],
                    { level = 1, field_start = at })
            end
        end
        return tree, mti
    end
    local start = message.start
    local length = message.length or 0
    local covered = length
    if record then
        covered = covered + start - record[1]
        start = record[1]
    end
    local root = tree:add(velk, tvb(start, covered > 0 and covered or 1),
        "VELK " .. controller.id .. ", Message Id " .. shown(mti))
    if record then
        if record[2] > 0 then
            local prefix = s:sub(record[1] + 1, record[1] + record[2])
            local item
            if record[3] then
                item = root:add(F.record_length, tvb(record[1], record[2]), record[3],
                    "Record length: " .. record[3] .. record[6])
            else
                item = add_text(root, F.record_length, tvb(record[1], record[2]), prefix,
                    "Record length: ")
            end
            if record[5] then
                item:add_proto_expert_info(E.prefix_guess, record[5])
            end
        end
        if record[4] then
            local at = record[4]
            local tpdu = root:add(F.tpdu, tvb(at, 5))
            tpdu:add(F.tpdu_id, tvb(at, 1))
            tpdu:add(F.tpdu_destination, tvb(at + 1, 2))
            tpdu:add(F.tpdu_source, tvb(at + 3, 2))
        end
    end
    root:add(F.controller, controller.id):set_generated()
    if #mti_raw == mti_width then
        if mti == mti_raw then
            add_text(root, F.mti, tvb(message.start, mti_width), mti, "0 Message Id: ")
        else
            add_value(root, F.mti, tvb(message.start, mti_width), mti, "0 Message Id: ")
        end
    end
    if message.bitmap then
        -- a hexadecimal bitmap's bytes are shown from a data source of their
        -- own, "Bitmap", the filters seeing the bytes rather than the digits
        local at = message.start + mti_width
        local width = controller.bitmap_width
        local function range(index)
            if controller.bitmap_encoding == "BINARY" then
                return tvb(at + index * width, width)
            end
            message.decoded = message.decoded or ByteArray.new(hex(message.bitmap)):tvb("Bitmap")
            return message.decoded(index * BITMAP_BYTES, BITMAP_BYTES)
        end
        root:add(F.bitmap, range(0)):append_text(
            field_list_text(message.bitmap:sub(1, BITMAP_BYTES), 0))
        if #message.bitmap > BITMAP_BYTES then
            root:add(F.bitmap2, range(1)):append_text(
                field_list_text(message.bitmap:sub(BITMAP_BYTES + 1), 64))
        end
    end
    local labels = controller.labels
    local fields = controller.fields
    for _, element in ipairs(message.elements) do
        local n, prefix_at, width, at, value_length = element[1], element[2], element[3],
            element[4], element[5]
        local spec = fields[n]
        local item
        if at == nil then
            -- the prefix was read, the value did not arrive
            item = root:add(ELEMENT[n], tvb(prefix_at, width))
            item:set_text(n .. " " .. controller.names[n] .. " (value missing)")
        elseif value_length == 0 then
            item = root:add(ELEMENT[n], tvb(prefix_at, width), "")
            item:set_text(n .. " " .. controller.names[n] .. " (empty)")
        else
            local range = tvb(prefix_at, at + value_length - prefix_at)
            local raw = s:sub(at + 1, at + value_length)
            if spec.enc == nil or spec.enc == "ASCII" then
                item = add_text(root, ELEMENT[n], range, raw, labels[n])
            else
                local value, bad = value_form(spec, raw, element[6], controller.page)
                item = add_value(root, ELEMENT[n], range, value, labels[n])
                if bad then
                    item:add_proto_expert_info(E.not_bcd, string.format(
                        "Field %d holds a nibble that is no BCD digit", n))
                end
            end
            if TLV[n] and spec.tlv then
                render_tlv(tvb, item, s, at, at + value_length, TLV[n],
                    { level = 1, field_start = at })
            end
        end
        if width > 0 then
            local prefix_item
            if element.prefix_text then
                prefix_item = add_value(item, F.length_prefix, tvb(prefix_at, width),
                    element.prefix_text, "Length prefix: ")
            else
                prefix_item = add_text(item, F.length_prefix, tvb(prefix_at, width),
                    s:sub(prefix_at + 1, prefix_at + width), "Length prefix: ")
            end
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

local function big_endian(bytes)
    local value = 0
    for i = 1, #bytes do
        value = value * 256 + bytes:byte(i)
    end
    return value
end

-- The length header of each FRAMING: its width, and how its bytes give the
-- length (nil and why when they cannot). HEADER_LENGTH's decimal prefix has
-- no `read`: it is read as the responder reads decimal text.
local HEADERS = {
    BIN2 = { width = 2, read = big_endian },
    BIN2LE = { width = 2, read = function(bytes) return bytes:byte(1) + 256 * bytes:byte(2) end },
    BIN4 = { width = 4, read = big_endian },
    BCD2 = { width = 2, read = function(bytes)
        local digits = bcd_digits(bytes)
        if digits:find("[^0-9]") then
            return nil, "not BCD"
        end
        return tonumber(digits)
    end },
    HEX4 = { width = 4, read = function(bytes)
        if not bytes:find("^%x%x%x%x$") then
            return nil, "not hexadecimal"
        end
        return tonumber(bytes, 16)
    end },
    -- two reserved bytes follow the length
    VMLH = { width = 4, read = function(bytes) return big_endian(bytes:sub(1, 2)) end },
}
local DECIMAL = {}
for digits = 1, VELK.max_header_length do
    HEADERS["ASCII" .. digits] = { width = digits, read = function(bytes)
        if not bytes:find("^%d+$") then
            return nil, "not decimal digits"
        end
        return tonumber(bytes)
    end }
    DECIMAL[digits] = { width = digits }
end

-- Adds the record's trailer under `tree`, flagged when it is not the
-- configured one.
local function check_trailer(tvb, tree, s, at, controller)
    local trailer = controller.trailer
    local received = s:sub(at + 1, at + #trailer)
    local item = building_tree and tree:add(F.trailer, tvb(at, #trailer)) or tree
    if received ~= trailer then
        item:add_proto_expert_info(E.trailer, string.format("Trailer %s, not the configured %s",
            hex(received), hex(trailer)))
    end
end

-- Each decoder takes the message at `offset` and returns the bytes it took,
-- or 0 and the bytes still needed (nil: at least one more segment), or -1
-- when the stream can no longer be framed (everything after is marked).

-- A record: its length header (`header`: a FRAMING's, or HEADER_LENGTH's
-- decimal digits), the TPDU, one or more messages and the trailer. `hint`:
-- the note that the dissector guessed the header.
local function decode_record(tvb, pinfo, tree, s, offset, total, controller, header, info, hint)
    local width = header.width
    local have = total - offset
    if have < width then
        return 0, nil
    end
    local prefix = s:sub(offset + 1, offset + width)
    local length, why
    if header.read then
        length, why = header.read(prefix)
    else
        length = decimal(c_text(prefix))
    end
    local body = length and length - (controller.counts_itself and width or 0)
    if controller.link and length and (length == 0 or body == 0) then
        -- a keep-alive: never a message
        if building_tree then
            local root = tree:add(velk, tvb(offset, width), "VELK " .. controller.id .. ", keep-alive")
            root:add(F.record_length, tvb(offset, width), tostring(length),
                "Record length: " .. length)
            root:add(F.keepalive, tvb(offset, width), true)
        end
        info[#info + 1] = "keep-alive"
        return width
    end
    if not length or body < 1 or body > MAX_MESSAGE_LENGTH then
        -- a header of characters is shown as its text, a binary one in hexadecimal
        local printable = prefix:find("^[ -~]*$") and prefix
        local text = length and string.format("Record length specified : %d longer than %d",
            length, MAX_MESSAGE_LENGTH) or string.format("Record length %s is %s",
            printable and "'" .. printable .. "'" or hex(prefix), why)
        local root = tree:add(velk, tvb(offset, width))
        root:set_text("VELK " .. controller.id .. ", bad record length")
        local item
        if header.read then
            item = root:add(F.record_length, tvb(offset, width),
                length and tostring(length) or printable or hex(prefix))
        else
            item = add_text(root, F.record_length, tvb(offset, width), prefix, "Record length: ")
        end
        item:add_proto_expert_info(E.bad_length, text)
        not_framed(tvb, tree, offset + width, total, text)
        info[#info + 1] = "bad record length"
        return -1
    end
    if have < width + body then
        return 0, width + body - have
    end
    local tpdu = controller.tpdu_length
    local body_at = offset + width
    local at = body_at + tpdu
    local body_end = body_at + body - #controller.trailer
    local record = { offset, width, header.read and tostring(length), tpdu > 0 and body_at or nil,
        hint, controller.counts_itself and string.format(" (counting its own %d bytes)", width) or "" }
    if body_end <= at then
        local text = string.format("ReadPort: Record of %d bytes holds no message", body)
        local root = tree:add(velk, tvb(offset, width + body),
            "VELK " .. controller.id .. ", record without a message")
        root:add_proto_expert_info(E.excess, text)
        info[#info + 1] = "record without a message"
        return width + body
    end
    local root
    while at < body_end do
        local status, message = walk_8583(s, at, body_end - at, body_end - at, controller)
        local mti
        root, mti = render_8583(tvb, tree, s, message, controller, record)
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
    if #controller.trailer > 0 then
        check_trailer(tvb, root, s, body_end, controller)
    end
    return width + body
end

-- The hint for bytes that the dissector, set for no length prefix, reads as
-- a record of a `digits`-digit prefix.
local function prefix_hint(digits)
    return string.format("Read with a %d-digit length prefix the dissector was not set for: "
        .. "the responder reads it so with HEADER_LENGTH=%d (-o velk.header_length:%d)",
        digits, digits, digits)
end

-- The prefix width under which the bytes at `offset` are a record of exactly
-- one whole message: decimal digits giving the length of a message that
-- takes exactly that many bytes. Else nil, and whether a width could yet
-- fit once more bytes arrive.
local function guess_width(s, offset, total, controller)
    local have = total - offset
    local waiting
    for digits = 1, VELK.max_header_length do
        local prefix = s:sub(offset + 1, offset + digits)
        local mti = s:sub(offset + digits + 1, offset + digits + MTI_LENGTH)
        if #prefix == digits and prefix:find("^%d+$")
            and (controller.mti_encoding ~= "ASCII" or mti:find("^%d*$")) then
            local length = tonumber(prefix)
            if length >= 1 and length <= MAX_MESSAGE_LENGTH then
                local status, message = walk_8583(s, offset + digits, have - digits, length,
                    controller)
                if status == "whole" and message.length == length then
                    return digits
                end
                -- a message that is bad without a prefix is held back only
                -- while the prefixed one has begun with a whole MTI
                waiting = waiting or (status == "more" and #mti == MTI_LENGTH)
            end
        end
    end
    return nil, waiting or false
end

-- Messages back to back, each with the controller's TPDU and trailer around
-- it. `guess`: without a length prefix configured, bytes that are no
-- message but a prefixed record are decoded as such, with a warning.
local function decode_stream(tvb, pinfo, tree, s, offset, total, controller, info, guess)
    local tpdu, trailer = controller.tpdu_length, controller.trailer
    if total - offset < tpdu then
        return 0, tpdu - (total - offset)
    end
    local at = offset + tpdu
    local status, message, more = walk_8583(s, at, total - at, MAX_MESSAGE_LENGTH, controller)
    if status ~= "whole" and guess then
        local digits, waiting = guess_width(s, offset, total, controller)
        if digits then
            return decode_record(tvb, pinfo, tree, s, offset, total, controller, DECIMAL[digits],
                info, prefix_hint(digits))
        end
        if waiting then
            -- a guess: TCP must not be told where the record ends
            return 0, nil
        end
    end
    if status == "more" then
        -- the length is known only once every element has arrived
        return 0, nil
    end
    if status == "whole" and total - at - message.length < #trailer then
        return 0, #trailer - (total - at - message.length)
    end
    local record = tpdu > 0 and { offset, 0, nil, offset, nil, "" } or nil
    local root, mti = render_8583(tvb, tree, s, message, controller, record)
    info[#info + 1] = shown(mti)
    if status == "whole" then
        if #trailer > 0 then
            check_trailer(tvb, root, s, at + message.length, controller)
        end
        return tpdu + message.length + #trailer
    end
    if status == "short" then
        local text = string.format("GetMsg: Message longer than %d", MAX_MESSAGE_LENGTH)
        root:add_proto_expert_info(E.too_long, text)
        not_framed(tvb, tree, at + message.length, total, text)
    else
        not_framed(tvb, tree, at + message.length, total, message.error[4])
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
    -- A FRAMING is the controller's own; without one the preference's
    -- HEADER_LENGTH applies.
    local header = controller.header
    local guess = false
    if controller.framing == "" then
        local width = velk.prefs.header_length
        if width > VELK.max_header_length then
            width = 0
        end
        header = DECIMAL[width]
        guess = width == 0 and controller.tpdu_length == 0 and controller.trailer == ""
    end
    while offset < total do
        local taken, more
        if controller.ztr then
            taken, more = decode_ztr(tvb, pinfo, tree, s, offset, total, controller, info)
        elseif header then
            taken, more = decode_record(tvb, pinfo, tree, s, offset, total, controller, header, info)
        else
            taken, more = decode_stream(tvb, pinfo, tree, s, offset, total, controller, info, guess)
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
    -- the link tags, as a controller without a link record has them
    local link = controller.link or {}
    controller.framing = link.framing or ""
    controller.header = HEADERS[controller.framing]
    controller.counts_itself = link.counts_itself or false
    controller.tpdu_length = #(link.tpdu or "")
    controller.trailer = link.trailer or ""
    controller.mti_encoding = link.mti or "ASCII"
    controller.mti_width = controller.mti_encoding == "BCD" and 2 or MTI_LENGTH
    controller.bitmap_encoding = link.bitmap or "BINARY"
    controller.bitmap_width = controller.bitmap_encoding == "BINARY" and BITMAP_BYTES
        or 2 * BITMAP_BYTES
    controller.page = CODE_PAGES[link.code_page or "1047"]
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
