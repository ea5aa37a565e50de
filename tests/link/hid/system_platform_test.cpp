#include "tests/link/hid/hid_test_util.h"

#include <QDir>

#include <gtest/gtest.h>

namespace {

TEST(SystemHidPlatform, StartsListsWhatIsThereAndExplainsErrors) {
    app();
    auto platform = makeSystemHidPlatform();
    ASSERT_TRUE(platform->available());
    const auto devices = platform->list();
    const bool anyNode = !QDir(QStringLiteral("/dev"))
                              .entryList({QStringLiteral("hidraw*")}, QDir::System)
                              .isEmpty();
    if (!anyNode) {
        EXPECT_TRUE(devices.empty());
    }
    for (const HidInterfaceInfo& d : devices) {
        EXPECT_FALSE(d.path.isEmpty());
        EXPECT_FALSE(d.instance.isEmpty());
    }

    quint32 error = 0;
    EXPECT_EQ(platform->open({QStringLiteral("/dev/hidraw-none"), QStringLiteral("x")},
                             HidAccess::ReadWrite, &error),
              nullptr);
    EXPECT_EQ(error, 19u);
    EXPECT_EQ(platform->errorText(13), u"Permission denied");

    // The controller runs on it, its device-change watch takes a turn of the loop, and it ends
    // cleanly.
    TJvHidDeviceController controller(nullptr, platform);
    int changes = 0;
    controller.SetOnDeviceChange([&](QObject*) { ++changes; });
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(controller.Count(), int(devices.size()));
    QCoreApplication::processEvents();
}

} // namespace
