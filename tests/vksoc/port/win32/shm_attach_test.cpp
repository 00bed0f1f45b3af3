// The shared configuration image in a named file mapping.

#include <cstring>
#include <string>

#include "os_lowio.h"
#include "os_shared_memory.h"
#include "vksoc/port/connection_fixture.h"
#include "vksoc/port/port_entry.h"
#include "vksoc/port/shm_attach.h"

namespace {

using ::testing::EndsWith;

std::string UniqueName(const char* test) {
    return std::string("velk-test-") + test + "-" + std::to_string(GetCurrentProcessId());
}

// Publishes an image under a name for the life of the object.
class Published {
  public:
    Published(const std::string& name, const unsigned char* image, long long size)
        : name_(name), size_(size) {
        view_ = plat::CreateSharedMemory(name_.c_str(), size_);
        EXPECT_NE(view_, nullptr) << GetLastError();
        if (view_ != nullptr) {
            std::memcpy(view_, image, static_cast<size_t>(size_));
        }
    }
    ~Published() {
        plat::RemoveSharedMemory(name_.c_str());
        if (view_ != nullptr) {
            plat::UnmapSharedMemory(view_, size_);
        }
    }

  private:
    std::string name_;
    long long size_;
    unsigned char* view_;
};

class SharedConfigTest : public ConnectionTest {
  protected:
    void TearDown() override {
        ConnectionTest::TearDown();
        ClearConfigView();
    }
};

TEST_F(SharedConfigTest, WithoutAMappingTheAttachIsRefusedWithTheSystemErrorInTheText) {
    std::string name = UniqueName("none");
    EXPECT_EQ(AttachSharedConfig(name.c_str()), -1);
    EXPECT_EQ(GetErrorCode(), ERR_INVALID);
    EXPECT_EQ(GetErrorSubCode(), 0);
    EXPECT_THAT(GetErrorText(),
                EndsWith("VELK_GetShm: Error " + std::to_string(ERROR_FILE_NOT_FOUND) +
                         " mapping to shm\n"));
}

TEST_F(SharedConfigTest, APublishedImageIsAttachedAndItsControllersAreFound) {
    std::string name = UniqueName("published");
    Published published(name, LoadedConfigImage(), CONFIG_IMAGE_SIZE);
    ClearConfigView();
    ASSERT_EQ(AttachSharedConfig(name.c_str()), 0) << GetErrorText();
    EXPECT_NE(configView.image, LoadedConfigImage());

    int port = OpenPort("shared.dat", O_RDWR | O_CREAT, MODE_FILE, "C01");
    ASSERT_GE(port, 0) << GetErrorText();
    const auto* format = reinterpret_cast<const unsigned char*>(portTable[port].format);
    EXPECT_GE(format, configView.image);
    EXPECT_LT(format, configView.image + CONFIG_IMAGE_SIZE);
    EXPECT_EQ(portTable[port].format[2].MAX_LEN, 6);
}

TEST_F(SharedConfigTest, AnImageWhoseTablesLieOutsideTheMappingIsRefused) {
    std::string name = UniqueName("small");
    unsigned char image[4096] = {};
    std::memcpy(image, LoadedConfigImage(), sizeof image);
    Published published(name, image, sizeof image);
    ClearConfigView();
    EXPECT_EQ(AttachSharedConfig(name.c_str()), -1);
    EXPECT_EQ(GetErrorCode(), ERR_INVALID);
    // A mapping's size is known in whole pages only.
    EXPECT_THAT(GetErrorText(),
                EndsWith("VELK_GetShm: Shared image of 4096 bytes does not hold its tables\n"));
    EXPECT_EQ(configView.header, nullptr);
}

TEST_F(SharedConfigTest, VelkGetShmAttachesTheMappingNamedVelk) {
    HANDLE existing = OpenFileMappingA(FILE_MAP_READ, FALSE, "velk");
    if (existing != nullptr) {
        CloseHandle(existing);
        GTEST_SKIP() << "a shared image named velk is published in this session";
    }
    Published published(SHARED_CONFIG_NAME, LoadedConfigImage(), CONFIG_IMAGE_SIZE);
    ClearConfigView();
    EXPECT_EQ(VELK_GetShm(), 0) << GetErrorText();
    EXPECT_NE(FindControllerBounded("C01"), nullptr);
}

}  // namespace
