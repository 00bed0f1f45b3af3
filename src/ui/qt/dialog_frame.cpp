#include "ui/qt/dialog_frame.h"

#include <cstdint>

namespace ui {

namespace {

constexpr uint32_t WS_VSCROLL = 0x00200000;
constexpr int HEADER_SIZE = 18;

class TemplateReader {
  public:
    TemplateReader(const unsigned char* bytes, int size) : bytes_(bytes), size_(size) {}

    bool Unit(int offset, uint16_t& value) const {
        if (offset < 0 || offset + 2 > size_) {
            return false;
        }
        value = static_cast<uint16_t>(bytes_[offset] | (bytes_[offset + 1] << 8));
        return true;
    }
    // Skips a menu or class entry: 0 (none), 0xFFFF and an ordinal, or a
    // terminated string. Returns the offset after it, or -1.
    int SkipEntry(int offset) const {
        uint16_t first = 0;
        if (!Unit(offset, first)) {
            return -1;
        }
        if (first == 0) {
            return offset + 2;
        }
        if (first == 0xFFFF) {
            return offset + 4 <= size_ ? offset + 4 : -1;
        }
        QString ignored;
        return ReadString(offset, ignored);
    }
    // Reads a terminated string of 16-bit units; returns the offset after
    // the terminator, or -1.
    int ReadString(int offset, QString& text) const {
        text.clear();
        for (uint16_t unit = 0; Unit(offset, unit); offset += 2) {
            if (unit == 0) {
                return offset + 2;
            }
            text.append(QChar(unit));
        }
        return -1;
    }

  private:
    const unsigned char* bytes_;
    int size_;
};

}  // namespace

bool ReadDialogFrame(const unsigned char* dialogTemplate, int size, DialogFrame& frame) {
    if (dialogTemplate == nullptr || size < HEADER_SIZE) {
        return false;
    }
    TemplateReader reader(dialogTemplate, size);
    uint16_t styleLow = 0;
    uint16_t styleHigh = 0;
    uint16_t width = 0;
    uint16_t height = 0;
    reader.Unit(0, styleLow);
    reader.Unit(2, styleHigh);
    reader.Unit(14, width);
    reader.Unit(16, height);
    int offset = reader.SkipEntry(HEADER_SIZE);
    offset = offset < 0 ? -1 : reader.SkipEntry(offset);
    if (offset < 0 || reader.ReadString(offset, frame.title) < 0) {
        return false;
    }
    uint32_t style = styleLow | (static_cast<uint32_t>(styleHigh) << 16);
    frame.width = DialogUnitsToPixelsX(static_cast<int16_t>(width));
    frame.height = DialogUnitsToPixelsY(static_cast<int16_t>(height));
    frame.verticalScrollBar = (style & WS_VSCROLL) != 0;
    return true;
}

}  // namespace ui
