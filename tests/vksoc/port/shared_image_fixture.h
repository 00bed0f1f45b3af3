#pragma once

// What the shared-image tests share on every system: a name per process, an
// image published for the life of an object, and a configuration view that
// is cleared after each test.

#include <cstring>
#include <string>

#include "os_lowio.h"
#include "os_shared_memory.h"
#include "platform/clock.h"
#include "vksoc/port/connection_fixture.h"

// A name of its own per test, so that parallel runs never meet.
inline std::string UniqueName(const char* test) {
    return std::string("velk-test-") + test + "-" + std::to_string(ReadProcessId());
}

// Publishes an image under a name for the life of the object.
class Published {
  public:
    Published(const std::string& name, const unsigned char* image, long long size)
        : name_(name), size_(size) {
        view_ = plat::CreateSharedMemory(name_.c_str(), size_);
        EXPECT_NE(view_, nullptr) << plat::GetLastError();
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
    Published(const Published&) = delete;
    Published& operator=(const Published&) = delete;

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
