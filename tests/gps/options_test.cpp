// The device column of the GPS options page: names from a sysfs tree laid
// out as the kernel lays out USB serial adapters and ACM modems, and from
// the by-id links, checked on a private copy of both.
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "gps/gps_options.h"
#include "platform/text.h"
#include "tests/support/test_support.h"

namespace velka {
namespace {

namespace fs = std::filesystem;

void WriteText(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

class SerialDeviceNameTest : public ::testing::Test {
protected:
    // /sys/class/tty/<name>/device -> the port's device directory.
    void AddTty(const std::string& strName, const fs::path& device) {
        fs::create_directories(device);
        fs::path cls = sys / "class" / "tty" / strName;
        fs::create_directories(cls);
        fs::create_directory_symlink(device, cls / "device");
    }
    std::string Name(const std::string& strPath) const {
        return ToUtf8(SerialDeviceName(strPath, sys.string(), byId.string()));
    }

    test::TempDir dir;
    fs::path sys = dir.Path() / "sys";
    fs::path byId = dir.Path() / "by-id";
};

TEST_F(SerialDeviceNameTest, UsbAdaptersNameMakerAndProduct) {
    // usb-serial: the tty's device is the port, below the interface, below the USB device.
    fs::path usb = sys / "devices" / "pci0000:00" / "usb1" / "1-2";
    WriteText(usb / "manufacturer", "FTDI\n");
    WriteText(usb / "product", "FT232R USB UART\n");
    WriteText(usb / "1-2:1.0" / "interface", "FT232R USB UART\n");
    AddTty("ttyUSB0", usb / "1-2:1.0" / "ttyUSB0");
    EXPECT_EQ(Name("/dev/ttyUSB0"), "FTDI FT232R USB UART");

    // A product that already begins with the maker is not doubled; ACM: the device is the interface.
    fs::path acm = sys / "devices" / "pci0000:00" / "usb1" / "1-3";
    WriteText(acm / "manufacturer", "u-blox AG - www.u-blox.com");
    WriteText(acm / "product", "u-blox AG - www.u-blox.com u-blox 7 - GPS/GNSS Receiver");
    AddTty("ttyACM0", acm / "1-3:1.0");
    EXPECT_EQ(Name("/dev/ttyACM0"), "u-blox AG - www.u-blox.com u-blox 7 - GPS/GNSS Receiver");

    // Without a product the interface's name serves.
    fs::path bare = sys / "devices" / "pci0000:00" / "usb2" / "2-1";
    WriteText(bare / "2-1:1.0" / "interface", "CDC Abstract Control Model (ACM)");
    AddTty("ttyACM1", bare / "2-1:1.0");
    EXPECT_EQ(Name("/dev/ttyACM1"), "CDC Abstract Control Model (ACM)");
}

TEST_F(SerialDeviceNameTest, ByIdLinksAndUnknownDevices) {
    // A UART has no USB device above it; a by-id link to the device names it.
    AddTty("ttyS0", sys / "devices" / "platform" / "serial8250" / "tty" / "ttyS0");
    fs::path dev = dir.Path() / "dev";
    WriteText(dev / "ttyS0", "");
    WriteText(dev / "ttyACM7", "");
    fs::create_directories(byId);
    fs::create_symlink(dev / "ttyACM7", byId / "usb-Garmin_GPS_18x_USB_1234-if00-port0");
    fs::create_symlink(dev / "ttyS0", byId / "pci-Serial_Adapter-if01");
    EXPECT_EQ(Name((dev / "ttyACM7").string()), "Garmin GPS 18x USB 1234");
    EXPECT_EQ(Name((dev / "ttyS0").string()), "Serial Adapter");
    // A link that is opened through another link still finds its name.
    fs::create_symlink(dev / "ttyACM7", dir.Path() / "gps");
    EXPECT_EQ(Name((dir.Path() / "gps").string()), "Garmin GPS 18x USB 1234");

    // Pseudo-terminals and missing devices have no name.
    EXPECT_EQ(Name("/dev/pts/3"), "-");
    EXPECT_EQ(Name((dir.Path() / "missing").string()), "-");
    EXPECT_EQ(ToUtf8(SerialDeviceName("/nonexistent/ttyQ9", "/nonexistent-sys", "/nonexistent-by-id")), "-");
}

TEST_F(SerialDeviceNameTest, LongAndEmptyAttributesAreBounded) {
    fs::path usb = sys / "devices" / "usb3" / "3-1";
    WriteText(usb / "product", std::string(5000, 'x'));
    AddTty("ttyUSB5", usb / "3-1:1.0" / "ttyUSB5");
    EXPECT_EQ(Name("/dev/ttyUSB5").size(), 256u);
    fs::path empty = sys / "devices" / "usb3" / "3-2";
    WriteText(empty / "product", "\n");
    AddTty("ttyUSB6", empty / "3-2:1.0" / "ttyUSB6");
    EXPECT_EQ(Name("/dev/ttyUSB6"), "-");
}

} // namespace
} // namespace velka
