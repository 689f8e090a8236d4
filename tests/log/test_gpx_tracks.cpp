// The GPX file of the tracks on a real disk: each write appends the new
// points as one track per vehicle and closes the document again, on the
// writer's thread; a full disk leaves the file whole and the points for the
// next write; a file removed or changed by another program stops the tracks.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QXmlStreamReader>
#include <filesystem>
#include <fstream>
#include <optional>

#include "log/gpx_tracks.h"
#include "support/event_loop.h"
#include "support/scratch_folder.h"

namespace vadrel {
namespace {

struct Track {
    std::string name, number;
    std::vector<std::vector<std::string>> segments;  // the times of the points
    bool operator==(const Track&) const = default;
};

// The tracks of a GPX document in file order; none when it is not well formed.
std::optional<std::vector<Track>> tracks_in(const std::string& text) {
    QXmlStreamReader xml(QByteArray::fromStdString(text));
    std::vector<Track> tracks;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) continue;
        const QString element = xml.name().toString();
        if (element == QStringLiteral("trk")) tracks.emplace_back();
        if (element == QStringLiteral("name")) tracks.back().name = xml.readElementText().toStdString();
        if (element == QStringLiteral("number")) tracks.back().number = xml.readElementText().toStdString();
        if (element == QStringLiteral("trkseg")) tracks.back().segments.emplace_back();
        if (element == QStringLiteral("time")) {
            tracks.back().segments.back().push_back(xml.readElementText().toStdString());
        }
    }
    if (xml.hasError()) return std::nullopt;
    return tracks;
}

TrackPoint at(double second, std::uint32_t segment = 0) {
    return {second, 1796553767.0 + second, 44.5, 10.25, 27.78, 45.0, segment};
}
std::string time_of(int second) { return "2026-12-06T10:42:" + std::to_string(47 + second) + ".000Z"; }

class Gpx : public ::testing::Test {
protected:
    testing::ScratchFolder folder;
    TrackHistory history{21};
    GpxTracks gpx{folder.at("tracce.gpx")};

    // Each (vehicle, point) into the history, then taken by `tracks` and written.
    void write(GpxTracks& tracks, std::initializer_list<std::pair<std::size_t, TrackPoint>> points) {
        for (const auto& [vehicle, point] : points) history.add(vehicle, point);
        tracks.take(history);
        tracks.finish();
    }
};

TEST_F(Gpx, EachWriteAppendsATrackPerVehicleWithNewPoints) {
    folder.put("tracce.gpx", std::string(100000, 'x'));  // another run's file: made anew
    ASSERT_EQ(gpx.start(), "");
    EXPECT_EQ(tracks_in(folder.get("tracce.gpx")), std::vector<Track>{}) << "a whole document from the start";
    write(gpx, {{0, at(1)}, {0, at(2)}});
    write(gpx, {{3, at(3)}, {0, at(4)}, {0, at(5, 1)}});  // segment 1 set by hand: a new segment
    write(gpx, {});  // taken and written again with nothing new: nothing added
    const std::vector<Track> expected = {
        {"Mezzo 0", "0", {{time_of(1), time_of(2)}}},
        {"Mezzo 0", "0", {{time_of(4)}, {time_of(5)}}},
        {"Mezzo 3", "3", {{time_of(3)}}},
    };
    const std::string text = folder.get("tracce.gpx");
    EXPECT_EQ(tracks_in(text), expected) << text;
    EXPECT_NE(text.find("<trkpt lat=\"44.5000000\" lon=\"10.2500000\"><time>2026-12-06T10:42:48.000Z</time>"
                        "<extensions><gpxtpx:TrackPointExtension><gpxtpx:speed>27.78</gpxtpx:speed>"
                        "<gpxtpx:course>45.0</gpxtpx:course>"),
              std::string::npos);
    EXPECT_EQ(std::tuple(gpx.written(), gpx.pending(), gpx.problem()), std::tuple(5, 0u, ""));
}

// Where the receiver's noise moved what the sentences said, the positions
// sent follow as a track of their own; the true track is as without noise.
TEST_F(Gpx, ThePositionsSentUnderNoiseAreASecondTrack) {
    ASSERT_EQ(gpx.start(), "");
    const auto sent = [](TrackPoint p, double lat, double lon) {
        p.reported = true;
        p.reported_lat = lat;
        p.reported_lon = lon;
        return p;
    };
    // The first second the noise did not reach (before it was on).
    write(gpx, {{0, at(1)}, {0, sent(at(2), 44.5001, 10.2499)}, {0, sent(at(3, 1), 44.6, 10.3)}});
    const std::vector<Track> expected = {
        {"Mezzo 0", "0", {{time_of(1), time_of(2)}, {time_of(3)}}},
        {"Mezzo 0 (posizione inviata)", "0", {{time_of(2)}, {time_of(3)}}},
    };
    const std::string text = folder.get("tracce.gpx");
    EXPECT_EQ(tracks_in(text), expected) << text;
    EXPECT_NE(text.find("<trkpt lat=\"44.5001000\" lon=\"10.2499000\"><time>2026-12-06T10:42:49.000Z"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("<trkpt lat=\"44.5000000\" lon=\"10.2500000\"><time>2026-12-06T10:42:49.000Z"),
              std::string::npos)
        << "the true position stays in the vehicle's track";
}

// A full disk: the write is undone, the file stays a whole document, the
// points wait for the next write, which takes them with the new ones.
TEST_F(Gpx, AFullDiskLeavesTheFileWholeAndThePointsForTheNextWrite) {
    ASSERT_EQ(gpx.start(), "");
    write(gpx, {{2, at(1)}});
    const std::string before = folder.get("tracce.gpx");
    {
        const testing::FileSizeLimit full(before.size() + 100);
        write(gpx, {{2, at(2)}, {5, at(3)}});
    }
    EXPECT_EQ(gpx.problem(), "le tracce GPX in " + folder.at("tracce.gpx") +
                                 " non si scrivono: il file supera la dimensione consentita");
    EXPECT_EQ(folder.get("tracce.gpx"), before);
    EXPECT_EQ(gpx.pending(), 2u);
    write(gpx, {{2, at(4)}});
    EXPECT_EQ(gpx.problem(), "");
    const std::vector<Track> expected = {
        {"Mezzo 2", "2", {{time_of(1)}}},
        {"Mezzo 2", "2", {{time_of(2), time_of(4)}}},
        {"Mezzo 5", "5", {{time_of(3)}}},
    };
    EXPECT_EQ(tracks_in(folder.get("tracce.gpx")), expected);
}

// Removed, or written by someone else: the tracks stop, nothing is written
// over the file.
TEST_F(Gpx, AFileRemovedOrChangedStopsTheTracks) {
    for (const bool removed : {true, false}) {
        GpxTracks tracks(folder.at("altre.gpx"));
        ASSERT_EQ(tracks.start(), "");
        if (removed) {
            std::filesystem::remove(folder.at("altre.gpx"));
        } else {
            std::ofstream(folder.at("altre.gpx"), std::ios::app) << "<!-- altro -->\n";
        }
        write(tracks, {{1, at(1)}});
        EXPECT_TRUE(tracks.stopped()) << removed;
        EXPECT_EQ(tracks.problem(), "tracce GPX interrotte: il file " + folder.at("altre.gpx") +
                                        (removed ? " è stato cancellato" : " è stato cambiato da un altro programma"));
        EXPECT_EQ(folder.get("altre.gpx").find("<trk>"), std::string::npos) << removed;
    }
}

// A FIFO with a reader opens as a file would, and is no file all the same.
TEST_F(Gpx, WhatCannotHoldTheTracksIsRefused) {
    ASSERT_EQ(gpx.start(), "");
    ASSERT_EQ(::mkfifo(folder.at("fifo").c_str(), 0600), 0);
    const Fd reader(::open(folder.at("fifo").c_str(), O_RDONLY | O_NONBLOCK));
    const std::pair<std::string, std::string> rows[] = {
        {folder.at("tracce.gpx"), "un altro vadrel vi sta scrivendo"},
        {folder.at("manca/tracce.gpx"), "il file o la cartella non esiste"},
        {folder.at("fifo"), "non è un file normale"},
    };
    for (const auto& [path, why] : rows) {
        GpxTracks other(path);
        EXPECT_EQ(other.start(), "le tracce GPX in " + path + " non si scrivono: " + why);
    }
}

}  // namespace
}  // namespace vadrel
