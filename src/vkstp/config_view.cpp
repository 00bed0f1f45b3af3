#include "vkstp/config_view.h"

#include <cstring>

ConfigView configView{};

namespace {
unsigned viewGeneration = 0;
}

unsigned ConfigViewGeneration() {
    return viewGeneration;
}

namespace {

template <typename Record>
Record* TableAt(unsigned char* image, int32_t offset) {
    return offset > 0 ? reinterpret_cast<Record*>(image + offset) : nullptr;
}

bool TableFits(int32_t count, int32_t offset, long long recordSize, long long imageSize) {
    if (count == 0) {
        return true;
    }
    if (count < 0 || offset < static_cast<int32_t>(sizeof(ConfigHeader))) {
        return false;
    }
    return static_cast<long long>(offset) + count * recordSize <= imageSize;
}

}  // namespace

void SetConfigView(unsigned char* image) {
    auto* header = reinterpret_cast<ConfigHeader*>(image);
    ++viewGeneration;
    configView.image = image;
    configView.header = header;
    configView.solTable = TableAt<SolRecord>(image, header->solOffset);
    configView.serverTable = TableAt<DcServerRecord>(image, header->serverOffset);
    configView.dcTable = TableAt<DcIdRecord>(image, header->dcOffset);
    configView.misc = TableAt<MiscRecord>(image, header->miscOffset);
    configView.nwMiscTable = TableAt<NwMiscRecord>(image, header->nwMiscOffset);
    configView.controllerTable = TableAt<ControllerParams>(image, header->controllerOffset);
    configView.linkTable =
        header->linkCount > 0 ? TableAt<LinkRecord>(image, header->linkOffset) : nullptr;
}

void ClearConfigView() {
    ++viewGeneration;
    configView = ConfigView{};
}

bool ConfigHeaderFits(const ConfigHeader& header, long long imageSize) {
    bool miscFits =
        header.miscOffset == 0 || TableFits(1, header.miscOffset, sizeof(MiscRecord), imageSize);
    return TableFits(header.solCount, header.solOffset, sizeof(SolRecord), imageSize) &&
           TableFits(header.serverCount, header.serverOffset, sizeof(DcServerRecord), imageSize) &&
           TableFits(header.dcCount, header.dcOffset, sizeof(DcIdRecord), imageSize) && miscFits &&
           TableFits(header.nwMiscCount, header.nwMiscOffset, sizeof(NwMiscRecord), imageSize) &&
           TableFits(header.controllerCount, header.controllerOffset, sizeof(ControllerParams),
                     imageSize) &&
           TableFits(header.linkCount, header.linkOffset, sizeof(LinkRecord), imageSize);
}

bool ConfigHeaderAligned(const ConfigHeader& header) {
    const int32_t offsets[] = {header.solOffset,  header.serverOffset, header.dcOffset,
                               header.miscOffset, header.nwMiscOffset, header.controllerOffset,
                               header.linkOffset};
    for (int32_t offset : offsets) {
        if (offset % 4 != 0) {
            return false;
        }
    }
    return true;
}

namespace {

template <typename Matches>
ControllerParams* FindControllerRecord(Matches matches) {
    if (configView.header == nullptr || configView.controllerTable == nullptr) {
        return nullptr;
    }
    for (int32_t i = 0; i < configView.header->controllerCount; ++i) {
        ControllerParams& controller = configView.controllerTable[i];
        if (matches(controller.CONTROLLER_ID)) {
            return &controller;
        }
    }
    return nullptr;
}

template <typename Matches>
FieldSpec* FindController(Matches matches) {
    ControllerParams* controller = FindControllerRecord(matches);
    return controller != nullptr ? controller->fields : nullptr;
}

// The reader gives a link record only to the first controller of an
// identifier, so the record of the selected controller's identifier is its.
template <typename Matches>
const LinkRecord* FindLink(Matches matches) {
    const ControllerParams* controller = FindControllerRecord(matches);
    if (controller == nullptr || configView.linkTable == nullptr) {
        return nullptr;
    }
    for (int32_t i = 0; i < configView.header->linkCount; ++i) {
        const LinkRecord& link = configView.linkTable[i];
        if (std::strncmp(link.CONTROLLER_ID, controller->CONTROLLER_ID, 3) == 0) {
            return &link;
        }
    }
    return nullptr;
}

bool ExactId(const char (&id)[4], const char* controllerId) {
    // CONTROLLER_ID is 4 bytes; an image from elsewhere may lack the NUL.
    return std::strlen(controllerId) < sizeof id && std::strncmp(id, controllerId, sizeof id) == 0;
}

}  // namespace

bool IsZtrController(const char* controllerId) {
    return std::strncmp(controllerId, "ZTR", 3) == 0;
}

FieldSpec* FindControllerExact(const char* controllerId) {
    return FindController([controllerId](const char(&id)[4]) { return ExactId(id, controllerId); });
}

const LinkRecord* FindLinkExact(const char* controllerId) {
    return FindLink([controllerId](const char(&id)[4]) { return ExactId(id, controllerId); });
}

const LinkRecord* FindLinkBounded(const char* controllerId) {
    return FindLink(
        [controllerId](const char(&id)[4]) { return std::strncmp(id, controllerId, 3) == 0; });
}

bool ConfigLinksValid(const unsigned char* image) {
    const auto* header = reinterpret_cast<const ConfigHeader*>(image);
    for (int32_t i = 0; i < header->linkCount; ++i) {
        LinkRecord link;
        std::memcpy(&link, image + header->linkOffset + static_cast<size_t>(i) * sizeof(LinkRecord),
                    sizeof link);
        if (!LinkRecordValid(link)) {
            return false;
        }
    }
    return true;
}

FieldSpec* FindControllerBounded(const char* controllerId) {
    return FindController(
        [controllerId](const char(&id)[4]) { return std::strncmp(id, controllerId, 3) == 0; });
}

int ConfiguredReadTimeout() {
    return configView.misc != nullptr ? configView.misc->READ_TIMEOUT : DEFAULT_READ_TIMEOUT;
}

int ConfiguredHostTimeout() {
    if (configView.misc == nullptr || configView.misc->HOST_TIMEOUT < 1) {
        return DEFAULT_HOST_TIMEOUT;
    }
    return configView.misc->HOST_TIMEOUT;
}
