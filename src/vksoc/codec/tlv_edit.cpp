#include "vksoc/codec/tlv_edit.h"

#include <cstring>

const char* TlvEditText(TlvEdit edit) {
    switch (edit) {
        case TlvEdit::Done:
            return "";
        case TlvEdit::Malformed:
            return "the field is malformed";
        case TlvEdit::Full:
            return "too many objects";
        case TlvEdit::BadValue:
            return "the value is not BER-TLV";
        case TlvEdit::Absent:
            return "no such object";
        case TlvEdit::NoRoom:
            return "the field would be too long";
    }
    return "";
}

namespace {

// One past the last object of the subtree that begins at `index`: the
// children of an object follow it, deeper than it.
int SubtreeEnd(const TlvTable& table, int index) {
    int end = index + 1;
    while (end < table.count && table.objects[end].depth > table.objects[index].depth) {
        ++end;
    }
    return end;
}

// Opens `n` entries at `at`; parents at or after it move with their objects.
void OpenGap(TlvTable* table, int at, int n) {
    std::memmove(&table->objects[at + n], &table->objects[at],
                 static_cast<size_t>(table->count - at) * sizeof(TlvObject));
    table->count += n;
    for (int i = at + n; i < table->count; ++i) {
        if (table->objects[i].parent >= at) {
            table->objects[i].parent = static_cast<int16_t>(table->objects[i].parent + n);
        }
    }
}

// Removes entries [from, to); parents after them move down.
void CloseGap(TlvTable* table, int from, int to) {
    const int n = to - from;
    std::memmove(&table->objects[from], &table->objects[to],
                 static_cast<size_t>(table->count - to) * sizeof(TlvObject));
    table->count -= n;
    for (int i = from; i < table->count; ++i) {
        if (table->objects[i].parent >= to) {
            table->objects[i].parent = static_cast<int16_t>(table->objects[i].parent - n);
        }
    }
}

// What the decoder accepts: constructed objects open at most TLV_MAX_DEPTH
// around any object.
bool FitsDepth(bool constructed, int depth) {
    return constructed ? depth < TLV_MAX_DEPTH : depth <= TLV_MAX_DEPTH;
}

TlvObject NewObject(uint32_t tag, uint8_t tagBytes, int parent, const TlvTable& table) {
    const int depth = parent >= 0 ? table.objects[parent].depth + 1 : 0;
    return {tag,      nullptr, 0, -1, static_cast<int16_t>(parent), static_cast<uint8_t>(depth),
            tagBytes, 0};
}

// Puts the children decoded from a constructed object's value after it,
// at `at`, one level below `owner`.
void SpliceChildren(TlvTable* table, int at, int owner, const TlvTable& children) {
    OpenGap(table, at, children.count);
    for (int i = 0; i < children.count; ++i) {
        TlvObject child = children.objects[i];
        child.offset = -1;
        child.depth = static_cast<uint8_t>(child.depth + table->objects[owner].depth + 1);
        child.parent = static_cast<int16_t>(child.parent < 0 ? owner : child.parent + at);
        table->objects[at + i] = child;
    }
}

}  // namespace

TlvEdit SetTlvObject(TlvTable* table, const TlvPath& path, const unsigned char* value,
                     int32_t length) {
    if (table->finding.fault != TlvFault::None) {
        return TlvEdit::Malformed;
    }
    if (path.count <= 0 || length < 0) {
        return TlvEdit::BadValue;
    }
    const int last = path.count - 1;
    const bool constructed = TlvTagIsConstructed(path.tags[last], path.tagBytes[last]);
    TlvTable children;
    children.count = 0;
    if (constructed && !DecodeTlv(value, length, &children)) {
        return TlvEdit::BadValue;
    }

    // The deepest part of the path the table has.
    int found = -1;
    int have = 0;
    for (int k = 0; k < path.count; ++k) {
        const int next =
            k == 0 ? FindTlvTag(*table, path.tags[0]) : FindTlvChild(*table, found, path.tags[k]);
        if (next < 0) {
            break;
        }
        found = next;
        have = k + 1;
    }

    // Check every limit before the table changes.
    const int missing = path.count - have;
    const int depth = have == path.count ? table->objects[found].depth
                      : found >= 0       ? table->objects[found].depth + missing
                                         : missing - 1;
    const int dropped = have == path.count ? SubtreeEnd(*table, found) - found - 1 : 0;
    if (table->count - dropped + missing + children.count > TLV_MAX_OBJECTS ||
        !FitsDepth(constructed, depth) || (missing > 1 && !FitsDepth(true, depth - 1))) {
        return TlvEdit::Full;
    }
    for (int i = 0; i < children.count; ++i) {
        const TlvObject& child = children.objects[i];
        if (!FitsDepth(TlvIsConstructed(child), depth + 1 + child.depth)) {
            return TlvEdit::Full;
        }
    }

    int object = found;
    if (missing == 0) {
        CloseGap(table, object + 1, object + 1 + dropped);
    } else {
        int at = found >= 0 ? SubtreeEnd(*table, found) : table->count;
        OpenGap(table, at, missing);
        for (int k = have; k < path.count; ++k, ++at) {
            table->objects[at] = NewObject(path.tags[k], path.tagBytes[k], object, *table);
            object = at;
        }
    }
    table->objects[object].value = value;
    table->objects[object].length = length;
    if (constructed) {
        SpliceChildren(table, object + 1, object, children);
    }
    return TlvEdit::Done;
}

TlvEdit RemoveTlvObject(TlvTable* table, const TlvPath& path) {
    if (table->finding.fault != TlvFault::None) {
        return TlvEdit::Malformed;
    }
    const int object = FindTlvObject(*table, path);
    if (object < 0) {
        return TlvEdit::Absent;
    }
    CloseGap(table, object, SubtreeEnd(*table, object));
    return TlvEdit::Done;
}
