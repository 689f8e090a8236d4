// The virtual port on a real pseudo-terminal: the test opens the slave side
// the way gpsd or a terminal program would and looks at what arrives.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

#include "far_end.h"
#include "platform/port_errors.h"
#include "platform/virtual_port.h"

namespace vadrel {
namespace {

using testing::Fd;
using testing::open_like_a_client;
using testing::read_bytes;

const std::string sentence = "$GPRMC,201528,A,4401.7775,N,01008.0623,E,0.0,000.0,090503,000.0,W*6C\r\n";
// The separator of a radio burst: CR LF and five NUL bytes.
const std::string separator("\r\n\0\0\0\0\0", 7);

LineSettings settings_4800() { return *parse_line_settings("4800,N,8,1"); }

TEST(VirtualPort, IsMadeAtOnceAsAPseudoTerminalNamedByALinkThatGoesWithIt) {
    const std::string link = testing::unique_path("com2");
    std::string slave;
    {
        VirtualSerialPort port(link);
        slave = port.slave_path();
        EXPECT_EQ(slave.rfind("/dev/pts/", 0), 0u) << slave;
        EXPECT_EQ(std::filesystem::read_symlink(link).string(), slave);
        EXPECT_FALSE(port.is_open());
        EXPECT_EQ(port.describe(), slave + " (virtuale)");
        Fd client = open_like_a_client(link);
        EXPECT_GE(client.get(), 0) << "the link opens like the device itself";
    }
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link))) << "link removed";
}

TEST(VirtualPort, ReplacesALinkLeftByAnEarlierRunButNeverAFile) {
    const std::string link = testing::unique_path("stale");
    std::filesystem::remove(link);
    std::filesystem::create_symlink("/dev/pts/nessuno", link);
    {
        VirtualSerialPort port(link);
        EXPECT_EQ(std::filesystem::read_symlink(link).string(), port.slave_path());
    }

    const std::string file = testing::unique_path("file");
    std::ofstream(file) << "dati dell'operatore";
    try {
        VirtualSerialPort port(file);
        FAIL() << "a file in the way must be reported";
    } catch (const PortFailure& failure) {
        EXPECT_EQ(failure.number(), 8018);
        EXPECT_NE(std::string(failure.what()).find(file), std::string::npos) << failure.what();
    }
    std::ifstream kept(file);
    std::string content;
    std::getline(kept, content);
    EXPECT_EQ(content, "dati dell'operatore");
}

TEST(VirtualPort, DeliversEveryByteAsItIsNulAndCrLfIncluded) {
    VirtualSerialPort port;
    Fd client = open_like_a_client(port.slave_path());
    ASSERT_GE(client.get(), 0);
    port.open(settings_4800());

    ASSERT_TRUE(port.write(sentence));
    EXPECT_EQ(read_bytes(client.get(), sentence.size()), sentence);

    const std::string burst = separator + sentence.substr(0, sentence.size() - 2) + separator + "\xff\x7f" + separator;
    ASSERT_TRUE(port.write(burst));
    EXPECT_EQ(read_bytes(client.get(), burst.size()), burst) << "raw mode: no CR/LF translation, NUL kept";
}

TEST(VirtualPort, WritesNothingWhileNobodyListensAndTheNextReaderGetsOnlyFreshData) {
    VirtualSerialPort port;
    port.open(settings_4800());
    EXPECT_FALSE(port.reader_present());
    // sent to nobody, as on a line with nothing plugged in: not a busy line
    for (int tick = 0; tick < 5; ++tick) EXPECT_TRUE(port.write("$GPRMC,vecchia\r\n")) << tick;

    Fd client = open_like_a_client(port.slave_path());
    EXPECT_TRUE(port.reader_present());
    EXPECT_EQ(testing::waiting(client.get()), 0) << "nothing queued before the reader came";
    ASSERT_TRUE(port.write(sentence));
    EXPECT_EQ(read_bytes(client.get(), sentence.size()), sentence);
}

TEST(VirtualPort, WhatAReaderLeftUnreadIsNotHandedToTheNextOne) {
    VirtualSerialPort port;
    port.open(settings_4800());
    {
        Fd first = open_like_a_client(port.slave_path());
        ASSERT_TRUE(port.write("$GPRMC,mai letta\r\n"));
        ASSERT_TRUE(testing::wait_readable(first.get()));
    }
    EXPECT_TRUE(port.write(sentence)) << "nobody there: dropped";

    Fd second = open_like_a_client(port.slave_path());
    EXPECT_EQ(testing::waiting(second.get()), 0);
    ASSERT_TRUE(port.write(sentence));
    EXPECT_EQ(read_bytes(second.get(), sentence.size()), sentence);
}

TEST(VirtualPort, SkipsAWriteWhileTheReaderHasNotReadThePreviousOne) {
    VirtualSerialPort port;
    Fd client = open_like_a_client(port.slave_path());
    port.open(settings_4800());

    ASSERT_TRUE(port.write("$GPRMC,uno\r\n"));
    ASSERT_TRUE(testing::wait_readable(client.get()));
    EXPECT_FALSE(port.write("$GPRMC,due\r\n")) << "the reader has not read the first";
    EXPECT_FALSE(port.write("$GPRMC,tre\r\n"));
    EXPECT_EQ(read_bytes(client.get(), 12), "$GPRMC,uno\r\n");
    ASSERT_TRUE(port.write("$GPRMC,quattro\r\n"));
    EXPECT_EQ(read_bytes(client.get(), 16), "$GPRMC,quattro\r\n") << "the skipped ones never come";
}

TEST(VirtualPort, DropsWhatTheReaderWritesSoItsProbesNeverBlockIt) {
    VirtualSerialPort port;
    Fd client = open_like_a_client(port.slave_path());
    port.open(settings_4800());

    // The reader writes probe strings until the pseudo-terminal takes no more.
    const std::string probe = "?WATCH={\"enable\":true};\r\n";
    std::size_t taken = 0;
    while (::write(client.get(), probe.data(), probe.size()) > 0) {
        taken += probe.size();
        ASSERT_LT(taken, 1'000'000u) << "the queue never filled";
    }
    ASSERT_EQ(errno, EAGAIN);

    ASSERT_TRUE(port.write(sentence));  // reads and drops what the reader wrote
    pollfd room{client.get(), POLLOUT, 0};
    EXPECT_EQ(::poll(&room, 1, static_cast<int>(testing::patience.count())), 1);
    EXPECT_GT(::write(client.get(), probe.data(), probe.size()), 0) << "room again for the reader";
    EXPECT_EQ(read_bytes(client.get(), sentence.size()), sentence);
}

TEST(VirtualPort, SendsOnlyBetweenOpenAndClose) {
    VirtualSerialPort port;
    Fd client = open_like_a_client(port.slave_path());
    EXPECT_FALSE(port.write(sentence)) << "not opened yet";
    port.open(settings_4800());
    EXPECT_TRUE(port.is_open());
    port.close();
    EXPECT_FALSE(port.is_open());
    EXPECT_FALSE(port.write("$GPRMC,chiusa\r\n"));
    EXPECT_EQ(testing::waiting(client.get()), 0);
    port.open(settings_4800());
    ASSERT_TRUE(port.write(sentence));
    EXPECT_EQ(read_bytes(client.get(), sentence.size()), sentence);
}

TEST(VirtualPort, PutsRawModeBackForTheNextReader) {
    VirtualSerialPort port;
    port.open(settings_4800());
    {
        Fd cooking = open_like_a_client(port.slave_path());
        termios cooked{};
        ASSERT_EQ(::tcgetattr(cooking.get(), &cooked), 0);
        EXPECT_EQ(cooked.c_lflag & (ICANON | ECHO), 0u) << "raw from the start";
        cooked.c_lflag |= ICANON | ECHO;
        cooked.c_oflag |= OPOST | ONLCR;
        cooked.c_iflag |= ICRNL;
        ASSERT_EQ(::tcsetattr(cooking.get(), TCSANOW, &cooked), 0);
    }
    EXPECT_TRUE(port.write(sentence));  // nobody there: discards and restores

    Fd client = open_like_a_client(port.slave_path());
    termios found{};
    ASSERT_EQ(::tcgetattr(client.get(), &found), 0);
    EXPECT_EQ(found.c_lflag & (ICANON | ECHO), 0u);
    EXPECT_EQ(found.c_oflag & OPOST, 0u);
    EXPECT_EQ(found.c_iflag & ICRNL, 0u);
    EXPECT_EQ(::cfgetospeed(&found), static_cast<speed_t>(B4800));
    ASSERT_TRUE(port.write(sentence));
    EXPECT_EQ(read_bytes(client.get(), sentence.size()), sentence);
}

}  // namespace
}  // namespace vadrel
