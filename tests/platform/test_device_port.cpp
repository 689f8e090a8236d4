// A real serial device through QSerialPort: the slave side of a
// pseudo-terminal is the device, the test holds the master as the far end of
// the cable.

#include <gtest/gtest.h>

#include "far_end.h"
#include "platform/device_port.h"
#include "platform/port_router.h"

namespace vadrel {
namespace {

using testing::Cable;
using testing::read_bytes;

const std::string sentence = "$GPRMC,201528,A,4401.7775,N,01008.0623,E,0.0,000.0,090503,000.0,W*6C\r\n";
const std::string separator("\r\n\0\0\0\0\0", 7);

class DevicePortTest : public testing::WithEventLoop {};

TEST_F(DevicePortTest, SendsEveryByteAsItIsAtTheChosenSettings) {
    Cable cable = Cable::make();
    ASSERT_FALSE(cable.device.empty());
    PortRouter port;
    port.use_device(3, cable.device);
    port.set_port_number(3);
    port.set_settings("9600,N,8,1");
    port.open();
    ASSERT_TRUE(port.is_open());
    EXPECT_EQ(port.describe(3), cable.device);

    const std::string burst = separator + sentence.substr(0, sentence.size() - 2) + separator;
    ASSERT_TRUE(port.write(burst));
    EXPECT_EQ(read_bytes(cable.master.get(), burst.size()), burst);

    // What QSerialPort set on the device is what the settings text says.
    testing::Fd device(::open(cable.slave.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK));
    termios line{};
    ASSERT_EQ(::tcgetattr(device.get(), &line), 0);
    EXPECT_EQ(::cfgetospeed(&line), static_cast<speed_t>(B9600));
    EXPECT_EQ(line.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(line.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(line.c_iflag & (IXON | IXOFF), 0u);
}

TEST_F(DevicePortTest, ANonexistentDeviceIsAPortFailureAndNothingStaysOpen) {
    const std::string missing = testing::unique_path("nessuna-porta");
    PortRouter port;
    port.use_device(4, missing);
    port.set_port_number(4);
    try {
        port.open();
        FAIL() << "opened a device that does not exist";
    } catch (const PortFailure& failure) {
        EXPECT_EQ(failure.number(), 8002);
        const std::string message = failure.what();
        EXPECT_EQ(message.rfind("porta inesistente: " + missing + ": ", 0), 0u) << message;
    }
    EXPECT_FALSE(port.is_open());
    EXPECT_FALSE(port.write(sentence));
}

TEST_F(DevicePortTest, SkipsWhileThePreviousWriteHasNotLeftThePort) {
    Cable cable = Cable::make();
    DevicePort port(cable.device);
    port.open(*parse_line_settings("4800,N,8,1"));
    // More than the pseudo-terminal takes while the far end does not read.
    const std::string block(200'000, 'x');
    ASSERT_TRUE(port.write(block));
    EXPECT_FALSE(port.write(sentence)) << "the block is still on its way";

    std::size_t received = 0;
    ASSERT_TRUE(run_until([&] {
        received += testing::read_available(cable.master.get()).size();
        return received == block.size();
    })) << received;
    ASSERT_TRUE(run_until([&] { return port.write(sentence); }));
    EXPECT_EQ(read_bytes(cable.master.get(), sentence.size()), sentence);
}

TEST_F(DevicePortTest, ClosingDropsWhatHasNotLeftSoANewSpeedStartsFresh) {
    Cable cable = Cable::make();
    PortRouter port;
    port.use_device(1, cable.device);
    port.open();
    const std::string block(200'000, 'x');
    ASSERT_TRUE(port.write(block));

    // The speed choice: close, new settings, open.
    port.close();
    port.set_settings("2400,N,8,1");
    port.open();
    ASSERT_TRUE(run_until([&] { return port.write(sentence); }));

    std::string received;
    ASSERT_TRUE(run_until([&] {
        received += testing::read_available(cable.master.get());
        return received.size() >= sentence.size() &&
               received.compare(received.size() - sentence.size(), sentence.size(), sentence) == 0;
    })) << received.size();
    EXPECT_LT(received.size(), block.size()) << "the old block went on after the close";
}

TEST_F(DevicePortTest, ADeviceAnotherPortHoldsIsAPortFailure) {
    Cable cable = Cable::make();
    PortRouter first;
    first.use_device(1, cable.device);
    first.set_port_number(1);
    first.open();
    PortRouter second;
    second.use_device(2, cable.device);
    second.set_port_number(2);
    try {
        second.open();
        FAIL() << "two ports on one device";
    } catch (const PortFailure& failure) {
        EXPECT_EQ(failure.number(), 8005) << failure.what();
        EXPECT_EQ(std::string(failure.what()).rfind("porta già in uso o non accessibile: " + cable.device, 0), 0u)
            << failure.what();
    }
    EXPECT_FALSE(second.is_open());
    EXPECT_TRUE(first.is_open());
}

// Closing the master under the open device is what the kernel shows when a
// USB adapter is pulled out: the device hangs up and writes fail with EIO.
TEST_F(DevicePortTest, AnUnpluggedDeviceIsReportedAsLostAndChoosingThePortAgainRecovers) {
    Cable cable = Cable::make();
    PortRouter port;
    port.use_device(2, cable.device);
    port.set_port_number(2);
    port.open();
    ASSERT_TRUE(port.write(sentence));
    EXPECT_EQ(read_bytes(cable.master.get(), sentence.size()), sentence);

    cable.master.reset();  // unplugged
    try {
        port.write(sentence);
        FAIL() << "a write on an unplugged device went unnoticed";
    } catch (const PortFailure& failure) {
        EXPECT_EQ(failure.number(), 8015) << failure.what();
        EXPECT_EQ(std::string(failure.what()).rfind("porta persa durante la scrittura: " + cable.device, 0), 0u)
            << failure.what();
    }
    EXPECT_FALSE(port.is_open());
    EXPECT_FALSE(port.write(sentence)) << "closed: nothing more is tried";

    // Plugged in again (a pseudo-terminal gets a new name; a USB adapter
    // usually its old one).
    Cable again = Cable::make();
    port.use_device(2, again.device);
    port.open();
    ASSERT_TRUE(port.is_open());
    ASSERT_TRUE(port.write(sentence));
    EXPECT_EQ(read_bytes(again.master.get(), sentence.size()), sentence);
}

}  // namespace
}  // namespace vadrel
