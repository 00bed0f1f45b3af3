#pragma once

#include <map>
#include <string>
#include <vector>

#include "ui/dialog_host.h"

// A dialog host that records every call and lets a test press buttons,
// type, and answer the message boxes and file dialogs.
class FakeDialogHost : public ui::DialogHost {
  public:
    struct Control {
        std::string className;
        std::string text;
        uint32_t style;
        int x, y, width, height, id;
        int limit = -1;
        bool hexDigits = false;
    };

    bool CreateControl(const char* className, const char* text, uint32_t style, int x, int y,
                       int width, int height, int id) override {
        controls.push_back({className, text, style, x, y, width, height, id});
        return true;
    }
    void LimitText(int id, int limit) override {
        if (Control* c = Find(id)) {
            c->limit = limit;
        }
    }
    void LimitToHexDigits(int id) override {
        if (Control* c = Find(id)) {
            c->hexDigits = true;
        }
    }
    int GetItemText(int id, char* buffer, int room) override {
        Control* c = Find(id);
        std::string text = c != nullptr ? c->text : "";
        int k = static_cast<int>(text.size()) < room - 1 ? static_cast<int>(text.size()) : room - 1;
        text.copy(buffer, static_cast<size_t>(k));
        buffer[k] = '\0';
        return k;
    }
    void SetItemText(int id, const char* text) override {
        if (Control* c = Find(id)) {
            c->text = text;
        }
    }
    int NextTabStop(int id) override {
        std::vector<int> stops;
        for (const Control& c : controls) {
            if (c.style & ui::WS_TABSTOP) {
                stops.push_back(c.id);
            }
        }
        for (size_t i = 0; i < stops.size(); ++i) {
            if (stops[i] == id) {
                return stops[(i + 1) % stops.size()];
            }
        }
        return 0;
    }
    void SetFocus(int id) override { focus = id; }
    void GetScrollRange(int* minimum, int* maximum) override {
        *minimum = scrollMinimum;
        *maximum = scrollMaximum;
    }
    int GetScrollPos() override { return scrollPosition; }
    void SetScrollPos(int position, bool) override { scrollPosition = position; }
    void SetScrollRange(int minimum, int maximum, bool) override {
        scrollMinimum = minimum;
        scrollMaximum = maximum;
    }
    void ScrollContents(int dy) override { moves.push_back(dy); }
    void ShowMessageBox(const char* text, unsigned icon) override {
        boxes.push_back(text);
        boxIcons.push_back(icon);
    }
    void EndDialog(int result) override {
        ended = true;
        endResult = result;
    }
    bool ChooseFile(char* fileName, bool forSave) override {
        chooserForSave.push_back(forSave);
        if (nextFile.empty()) {
            return false;
        }
        nextFile.copy(fileName, ui::FILE_NAME_SIZE - 1);
        fileName[nextFile.size()] = '\0';
        return true;
    }

    Control* Find(int id) {
        for (Control& c : controls) {
            if (c.id == id && c.className == "EDIT") {
                return &c;
            }
        }
        return nullptr;
    }
    std::vector<const Control*> OfClass(const std::string& name) const {
        std::vector<const Control*> found;
        for (const Control& c : controls) {
            if (c.className == name) {
                found.push_back(&c);
            }
        }
        return found;
    }

    std::vector<Control> controls;
    int focus = 0;
    int scrollMinimum = 0, scrollMaximum = 0, scrollPosition = 0;
    std::vector<int> moves;
    std::vector<std::string> boxes;
    std::vector<unsigned> boxIcons;
    bool ended = false;
    int endResult = 0;
    std::string nextFile;  // empty: the operator cancels the file dialog
    std::vector<bool> chooserForSave;
};
