#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "connection_fixture.h"
#include "os_shared_memory.h"
#include "vksoc/port/port_entry.h"
#include "vksoc/port/shm_attach.h"

namespace {

using ::testing::EndsWith;

// A name of its own per test, so that parallel runs never meet.
std::string UniqueName(const char* test) {
    return std::string("velk-test-") + test + "-" + std::to_string(getpid());
}

// Publishes an image under a name for the life of the object.
class Published {
  public:
    Published(const std::string& name, const unsigned char* image, long long size)
        : name_(name), size_(size) {
        view_ = plat::CreateSharedMemory(name_.c_str(), size_);
        EXPECT_NE(view_, nullptr) << errno;
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
    unsigned char* view() const { return view_; }

  private:
    std::string name_;
    long long size_;
    unsigned char* view_;
};

class SharedConfigTest : public ConnectionTest {
  protected:
    void TearDown() override {
        ConnectionTest::TearDown();
        // Later tests load their own configuration; none may use a view of
        // an image this test unmapped.
        ClearConfigView();
    }
};

TEST_F(SharedConfigTest, WithoutAPublisherTheAttachIsRefusedWithTheSystemErrorInTheText) {
    std::string name = UniqueName("none");
    EXPECT_EQ(AttachSharedConfig(name.c_str()), -1);
    EXPECT_EQ(GetErrorCode(), ERR_INVALID);
    EXPECT_EQ(GetErrorSubCode(), 0);
    EXPECT_THAT(GetErrorText(),
                EndsWith("VELK_GetShm: Error " + std::to_string(ENOENT) + " mapping to shm\n"));
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
    const auto* format = reinterpret_cast<const unsigned char*>(portTable[port].format);
    EXPECT_GE(format, configView.image);
    EXPECT_LT(format, configView.image + CONFIG_IMAGE_SIZE);
    EXPECT_EQ(portTable[port].format[2].MAX_LEN, 6);  // element 3 of C01
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
    std::string name = UniqueName("lying");
    unsigned char image[CONFIG_IMAGE_SIZE];
    std::memcpy(image, LoadedConfigImage(), sizeof image);
    reinterpret_cast<ConfigHeader*>(image)->controllerCount = 1000;
    Published published(name, image, sizeof image);
    ClearConfigView();
    EXPECT_EQ(AttachSharedConfig(name.c_str()), -1);
    EXPECT_EQ(GetErrorCode(), ERR_INVALID);
    EXPECT_THAT(GetErrorText(),
                EndsWith("VELK_GetShm: Shared image of 98304 bytes does not hold its tables\n"));
    EXPECT_EQ(configView.header, nullptr);
}

TEST_F(SharedConfigTest, AnEmptyObjectCannotBeAttached) {
    std::string name = UniqueName("empty");
    int fd = shm_open(("/" + name).c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    ASSERT_GE(fd, 0);
    close(fd);
    EXPECT_EQ(AttachSharedConfig(name.c_str()), -1);
    shm_unlink(("/" + name).c_str());
    EXPECT_EQ(GetErrorCode(), ERR_INTERNAL);
    EXPECT_EQ(GetErrorSubCode(), 0);
    EXPECT_THAT(GetErrorText(),
                EndsWith("VELK_GetShm: Error " + std::to_string(EINVAL) + " attaching to shm\n"));
}

TEST_F(SharedConfigTest, VelkGetShmAttachesTheImageNamedVelk) {
    // Only when no publisher of this machine holds the name already.
    int existing = shm_open("/velk", O_RDONLY, 0);
    if (existing >= 0) {
        close(existing);
        GTEST_SKIP() << "a shared image named velk is published on this machine";
    }
    Published published(SHARED_CONFIG_NAME, LoadedConfigImage(), CONFIG_IMAGE_SIZE);
    ClearConfigView();
    EXPECT_EQ(VELK_GetShm(), 0) << GetErrorText();
    EXPECT_NE(FindControllerBounded("C01"), nullptr);
}

}  // namespace
