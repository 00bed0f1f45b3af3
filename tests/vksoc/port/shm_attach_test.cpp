// The shared configuration image: a POSIX shared-memory object, or a named
// file mapping on Windows.

#include <cstring>
#include <string>

#include "shared_image_fixture.h"
#include "vksoc/port/port.h"
#include "vksoc/port/shm_attach.h"

namespace {

using ::testing::EndsWith;

TEST_F(SharedConfigTest, WithoutAPublisherTheAttachIsRefusedWithTheSystemErrorInTheText) {
    std::string name = UniqueName("none");
    EXPECT_EQ(AttachSharedConfig(name.c_str()), -1);
    EXPECT_EQ(GetErrorCode(), ERR_INVALID);
    EXPECT_EQ(GetErrorSubCode(), 0);
    EXPECT_THAT(GetErrorText(),
                EndsWith("VELK_GetShm: Error " + std::to_string(plat::SHARED_MEMORY_NOT_FOUND) +
                         " mapping to shm\n"));
}

TEST_F(SharedConfigTest, APublishedImageServesOpenPortFromTheMapping) {
    std::string name = UniqueName("published");
    Published published(name, LoadedConfigImage(), CONFIG_IMAGE_SIZE);
    ClearConfigView();
    ASSERT_EQ(AttachSharedConfig(name.c_str()), 0) << GetErrorText();
    EXPECT_NE(configView.image, LoadedConfigImage());

    int port = OpenPort("shared.dat", O_RDWR | O_CREAT, MODE_FILE, "C01");
    ASSERT_GE(port, 0) << GetErrorText();
    // The field specs are those of the mapping this process attached.
    const auto* format = reinterpret_cast<const unsigned char*>(PortFormat(port));
    EXPECT_GE(format, configView.image);
    EXPECT_LT(format, configView.image + CONFIG_IMAGE_SIZE);
    EXPECT_EQ(PortFormat(port)[2].MAX_LEN, 6);  // element 3 of C01
    EXPECT_EQ(ConfiguredReadTimeout(), 1);
}

TEST_F(SharedConfigTest, AnImageWhoseTableOffsetsAreNotMultiplesOfFourIsRefused) {
    // Each table moved by a few bytes, still wholly inside the mapping.
    struct Case {
        const char* table;
        int32_t ConfigHeader::*offset;
        int32_t by;
    } const cases[] = {
        {"controllers", &ConfigHeader::controllerOffset, 2},
        {"misc", &ConfigHeader::miscOffset, 1},
        {"controllers, 3 on", &ConfigHeader::controllerOffset, 3},
    };
    for (const Case& c : cases) {
        std::string name = UniqueName("misaligned");
        unsigned char image[CONFIG_IMAGE_SIZE];
        std::memcpy(image, LoadedConfigImage(), sizeof image);
        reinterpret_cast<ConfigHeader*>(image)->*c.offset += c.by;
        Published published(name, image, sizeof image);
        ClearConfigView();
        EXPECT_EQ(AttachSharedConfig(name.c_str()), -1) << c.table;
        EXPECT_EQ(GetErrorCode(), ERR_INVALID);
        EXPECT_THAT(GetErrorText(), EndsWith("VELK_GetShm: Shared image has a table offset that "
                                             "is not a multiple of 4\n"));
        EXPECT_EQ(configView.header, nullptr);
    }
}

TEST_F(SharedConfigTest, AnImageWhoseTablesLieOutsideTheMappingIsRefused) {
    // A header that counts more records than the image holds, and an image
    // cut short (a mapping's size is known in whole pages only: one page).
    struct Case {
        const char* name;
        long long size;
        int32_t controllerCount;  // 0: as loaded
        const char* text;
    } const cases[] = {
        {"lying", CONFIG_IMAGE_SIZE, 1000,
         "VELK_GetShm: Shared image of 98304 bytes does not hold its tables\n"},
        {"small", 4096, 0, "VELK_GetShm: Shared image of 4096 bytes does not hold its tables\n"},
    };
    for (const Case& c : cases) {
        std::string name = UniqueName(c.name);
        unsigned char image[CONFIG_IMAGE_SIZE];
        std::memcpy(image, LoadedConfigImage(), sizeof image);
        if (c.controllerCount != 0) {
            reinterpret_cast<ConfigHeader*>(image)->controllerCount = c.controllerCount;
        }
        Published published(name, image, c.size);
        ClearConfigView();
        EXPECT_EQ(AttachSharedConfig(name.c_str()), -1) << c.name;
        EXPECT_EQ(GetErrorCode(), ERR_INVALID);
        EXPECT_THAT(GetErrorText(), EndsWith(c.text));
        EXPECT_EQ(configView.header, nullptr);
    }
}

TEST_F(SharedConfigTest, VelkGetShmAttachesTheImageNamedVelk) {
    // Only when no publisher of this machine holds the name already (one we
    // may not open counts as held).
    plat::SharedMemoryHandle existing = plat::OpenSharedMemory(SHARED_CONFIG_NAME);
    if (existing != plat::NO_SHARED_MEMORY ||
        plat::GetLastError() != plat::SHARED_MEMORY_NOT_FOUND) {
        if (existing != plat::NO_SHARED_MEMORY) {
            plat::CloseSharedMemory(existing);
        }
        GTEST_SKIP() << "a shared image named velk is published on this machine";
    }
    Published published(SHARED_CONFIG_NAME, LoadedConfigImage(), CONFIG_IMAGE_SIZE);
    ClearConfigView();
    EXPECT_EQ(VELK_GetShm(), 0) << GetErrorText();
    EXPECT_NE(FindControllerBounded("C01"), nullptr);
}

}  // namespace
