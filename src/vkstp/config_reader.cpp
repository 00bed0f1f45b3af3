#include "vkstp/config_reader.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "diag/error_log.h"
#include "diag/error_state.h"
#include "os_lowio.h"
#include "vkstp/config_load.h"
#include "vkstp/config_view.h"
#include "vkstp/tag_line.h"

namespace {

// Allocated at the first load and kept for the life of the process: every
// configuration pointer of the view points into it.
unsigned char* processImage = nullptr;

struct Section {
    const char* tag;
    const char* progress;
    int (*read)(ConfigLoad&);
};

constexpr Section kSections[] = {
    {"SOL_LIST", "Processing SOL List ...", ReadSolList},
    {"DC_SERVER_LIST", "Processing DC Server List ...", ReadDcServerList},
    {"MISCELLANEOUS", "Processing Miscellaneous Data ...", ReadMiscellaneous},
    {"NW_MISC_LIST", "Processing Network Parameters ...", ReadNwMiscList},
    {"CONTROLLER_PARAMS_LIST", "Processing Controller List ...", ReadControllerList},
};

void FailLoad(const char* message) {
    SetError(0, 0);
    ADD_ERROR_TEXT("%s", message);
    WriteErrorLog();
}

int ReadConfigFile(ConfigLoad& load, const char* path) {
    // Only a regular file is a configuration: a directory would read as an
    // empty one, a device or a named pipe would never end or never begin.
    bool notRegular = false;
    FILE* file = plat::OpenRegularFileToRead(path, &notRegular);
    if (file == nullptr) {
        SetError(0, 0);
        ADD_ERROR_TEXT("velk.cfg could not be opened for reading\n");
        if (notRegular) {
            ADD_ERROR_TEXT("velk.cfg is not a regular file\n");
        }
        WriteErrorLog();
        return -1;
    }
    LineReader lines(file);
    load.lines = &lines;
    load.lastLineRead = true;
    int result = 0;
    while (result == 0 && NextTagLine(load)) {
        if (load.tag[0] == '\0' || std::strcmp(load.tag, "VELK_CONFIGURATION") == 0 ||
            std::strcmp(load.tag, "/VELK_CONFIGURATION") == 0) {
            continue;
        }
        const Section* section = nullptr;
        for (const Section& candidate : kSections) {
            if (std::strcmp(load.tag, candidate.tag) == 0) {
                section = &candidate;
            }
        }
        if (section == nullptr) {
            Notice(load, "unknown tag <%s> outside any section; passed over", load.tag);
            continue;
        }
        bool progress = load.notices == nullptr || !load.notices->quiet;
        if (progress) {
            std::printf("%s", section->progress);
        }
        result = section->read(load);
        if (progress) {
            std::printf(result == 0 ? "Done\n" : "\n");
        }
    }
    std::fflush(stdout);
    std::fclose(file);
    load.lines = nullptr;
    if (result == 0 && lines.limit() != LineLimit::None) {
        SetError(0, 0);
        if (lines.limit() == LineLimit::LineTooLong) {
            ADD_ERROR_TEXT("velk.cfg line %d is longer than %ld characters\n", lines.limitLine(),
                           CONFIG_MAX_LINE);
        } else {
            ADD_ERROR_TEXT("velk.cfg is larger than %ld bytes\n", CONFIG_MAX_FILE);
        }
        WriteErrorLog();
        return -1;
    }
    return result;
}

}  // namespace

namespace {
void TellNotice(const ConfigLoad& load, int line, const char* format, va_list args) {
    if (load.notices == nullptr || load.notices->sink == nullptr) {
        return;
    }
    char text[512];
    std::vsnprintf(text, sizeof text, format, args);
    load.notices->sink(load.notices->context, line, text);
}
}  // namespace

void Notice(const ConfigLoad& load, const char* format, ...) {
    va_list args;
    va_start(args, format);
    TellNotice(load, load.lines->lineNumber(), format, args);
    va_end(args);
}

void NoticeAt(const ConfigLoad& load, int line, const char* format, ...) {
    va_list args;
    va_start(args, format);
    TellNotice(load, line, format, args);
    va_end(args);
}

bool NextTagLine(ConfigLoad& load) {
    std::memset(load.line, 0, sizeof load.line);
    if (!load.lines->Read(load.line)) {
        load.lastLineRead = false;
        load.tag[0] = '\0';
        return false;
    }
    std::memset(load.value, 0, sizeof load.value);
    SplitTagLine(load.line, load.tag, load.value);
    if (load.lines->lastHadNul()) {
        Notice(load, "the line holds a NUL byte; what follows it is not read");
    }
    if (load.lines->lastWasCut()) {
        Notice(load,
               "the line is longer than 255 characters; the rest is read as a line of its own");
    }
    return true;
}

unsigned char* RecordAt(ConfigLoad& load, long long offset, int recordSize) {
    if (offset + recordSize <= CONFIG_IMAGE_SIZE) {
        return load.image + offset;
    }
    SetError(0, 0);
    ADD_ERROR_TEXT("vkstp: Configuration larger than %d bytes at line %d\n", CONFIG_IMAGE_SIZE,
                   load.lines->lineNumber());
    WriteErrorLog();
    Notice(load, "the configuration does not fit in the %d-byte image; the load stops here",
           CONFIG_IMAGE_SIZE);
    return nullptr;
}

int LoadConfigurationFrom(const char* path, const ConfigNotices* notices) {
    if (processImage == nullptr) {
        processImage = static_cast<unsigned char*>(std::calloc(1, CONFIG_IMAGE_SIZE));
        if (processImage == nullptr) {
            FailLoad("vkstp: Unable to Allocate Memory\n");
            return -1;
        }
    } else {
        ClearConfigView();
        std::memset(processImage, 0, CONFIG_IMAGE_SIZE);
    }
    static ConfigLoad load;
    load = ConfigLoad{};
    load.image = processImage;
    load.writePosition = sizeof(ConfigHeader);
    load.notices = notices;
    if (ReadConfigFile(load, path) != 0 || load.linkRefused || WriteLinkTable(load) != 0) {
        return -1;
    }
    std::memcpy(processImage, &load.header, sizeof load.header);
    SetConfigView(processImage);
    return 0;
}

int LoadConfiguration() {
    return LoadConfigurationFrom(CONFIG_FILE_PATH, nullptr);
}

const unsigned char* LoadedConfigImage() {
    return processImage;
}
