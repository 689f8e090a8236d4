// The port as the panel sees it: numbers 1..4 mapped to devices or virtual
// ports, settings texts, open and close.

#include <gtest/gtest.h>

#include "far_end.h"
#include "platform/port_router.h"
#include "platform/virtual_port.h"

namespace vadrel {
namespace {

using testing::Fd;
using testing::open_like_a_client;
using testing::read_bytes;

const std::string sentence = "$GPRMC,201528,A,4401.7775,N,01008.0623,E,0.0,000.0,090503,000.0,W*6C\r\n";

TEST(PortMap, EachPortNumberHasItsDefaultDevice) {
    struct Row {
        int number;
        const char* device;
    };
#ifdef _WIN32
    const Row rows[] = {{1, "COM1"}, {2, "COM2"}, {3, "COM3"}, {4, "COM4"}, {0, ""}, {5, ""}, {-1, ""}};
#else
    const Row rows[] = {{1, "/dev/ttyS0"}, {2, "/dev/ttyS1"}, {3, "/dev/ttyS2"}, {4, "/dev/ttyS3"},
                        {0, ""},           {5, ""},           {-1, ""}};
#endif
    PortRouter port;
    for (const Row& row : rows) {
        EXPECT_EQ(default_device(row.number), row.device) << "COM " << row.number;
        EXPECT_EQ(port.describe(row.number), row.device) << "COM " << row.number;
    }
}

TEST(PortMap, AMapOverridesOneNumberOnly) {
    PortRouter port;
    port.use_device(3, "/dev/ttyUSB0");
    const VirtualSerialPort& virtual_port = port.use_virtual(2);
    EXPECT_EQ(port.describe(1), default_device(1));
    EXPECT_EQ(port.describe(2), virtual_port.slave_path() + " (virtuale)");
    EXPECT_EQ(port.describe(3), "/dev/ttyUSB0");
    EXPECT_EQ(port.describe(4), default_device(4));
    EXPECT_THROW(port.use_device(5, "/dev/ttyUSB1"), std::out_of_range);
    EXPECT_THROW(port.use_virtual(0), std::out_of_range);
}

TEST(PortRouter, StartsClosedOnPortOneAt4800) {
    PortRouter port;
    EXPECT_FALSE(port.is_open());
    EXPECT_EQ(port.port_number(), 1);
    EXPECT_EQ(port.settings(), "4800,N,8,1");
    EXPECT_FALSE(port.write(sentence)) << "a closed port writes nothing and does not fail";
}

TEST(PortRouter, APortNumberOutsideOneToFourDoesNotExist) {
    for (const std::int16_t number : {std::int16_t{0}, std::int16_t{5}, std::int16_t{-1}, std::int16_t{32767}}) {
        PortRouter port;
        port.set_port_number(number);
        try {
            port.open();
            ADD_FAILURE() << "opened COM " << number;
        } catch (const PortFailure& failure) {
            EXPECT_EQ(failure.number(), 8002) << number;
            EXPECT_EQ(std::string(failure.what()), "porta inesistente: COM " + std::to_string(number));
        }
        EXPECT_FALSE(port.is_open()) << number;
    }
}

TEST(PortRouter, ASettingsTextThatIsNoLineSettingIsRefusedAndTheFormerOneStays) {
    PortRouter port;
    port.set_settings("9600,N,8,1");
    for (const char* text : {"", "4800,X,8,1", "12345,N,8,1", "4800 N 8 1"}) {
        try {
            port.set_settings(text);
            ADD_FAILURE() << text;
        } catch (const PortFailure& failure) {
            EXPECT_EQ(failure.number(), 8010) << text;
            EXPECT_EQ(std::string(failure.what()), std::string("impostazioni non valide: \"") + text + "\"");
        }
        EXPECT_EQ(port.settings(), "9600,N,8,1") << text;
    }
}

TEST(PortRouter, OpeningThePortAlreadyOpenKeepsItAsItIs) {
    PortRouter port;
    const VirtualSerialPort& com2 = port.use_virtual(2);
    Fd client = open_like_a_client(com2.slave_path());
    port.set_port_number(2);
    port.open();
    ASSERT_TRUE(port.write("$GPRMC,prima\r\n"));
    ASSERT_TRUE(testing::wait_readable(client.get()));

    port.open();  // start-up opening what the port choice opened
    EXPECT_TRUE(port.is_open());
    EXPECT_EQ(read_bytes(client.get(), 14), "$GPRMC,prima\r\n") << "not reopened: nothing discarded";
}

TEST(PortRouter, ANewNumberOrNewSettingsTakeEffectAtTheNextOpen) {
    PortRouter port;
    const VirtualSerialPort& com1 = port.use_virtual(1);
    const VirtualSerialPort& com2 = port.use_virtual(2);
    Fd one = open_like_a_client(com1.slave_path());
    Fd two = open_like_a_client(com2.slave_path());
    port.set_port_number(1);
    port.open();

    port.set_port_number(2);
    EXPECT_EQ(port.port_number(), 2);
    ASSERT_TRUE(port.write("$GPRMC,uno\r\n")) << "still on COM 1 until the next open";
    EXPECT_EQ(read_bytes(one.get(), 12), "$GPRMC,uno\r\n");

    port.open();
    EXPECT_FALSE(com1.is_open()) << "COM 1 closed by the open of COM 2";
    EXPECT_TRUE(com2.is_open());
    ASSERT_TRUE(port.write("$GPRMC,due\r\n"));
    EXPECT_EQ(read_bytes(two.get(), 12), "$GPRMC,due\r\n");

    port.set_settings("9600,N,8,1");
    EXPECT_EQ(port.settings(), "9600,N,8,1");
    port.open();
    EXPECT_TRUE(port.is_open());

    port.close();
    EXPECT_FALSE(port.is_open());
    EXPECT_FALSE(com2.is_open());
    EXPECT_FALSE(port.write(sentence));
}

TEST(PortRouter, MappingTheOpenPortElsewhereClosesIt) {
    PortRouter port;
    port.use_virtual(3);
    port.set_port_number(3);
    port.open();
    ASSERT_TRUE(port.is_open());
    port.use_device(3, testing::unique_path("nessuna-porta"));
    EXPECT_FALSE(port.is_open());
    EXPECT_THROW(port.open(), PortFailure);
    EXPECT_FALSE(port.is_open());
}

}  // namespace
}  // namespace vadrel
