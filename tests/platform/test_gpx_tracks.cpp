// The GPX file of the tracks, written again and again: each write keeps what
// the file held and adds the new points to the end of each vehicle's track.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QCoreApplication>
#include <filesystem>
#include <map>
#include <regex>

#include "platform/gpx_tracks.h"
#include "support/scratch_folder.h"

namespace vadrel {
namespace {

// Per track name: its segments, each the times of its points.
std::map<std::string, std::vector<std::vector<std::string>>> tracks_in(const std::string& text) {
    std::map<std::string, std::vector<std::vector<std::string>>> tracks;
    std::string name;
    const std::regex time("<time>([^<]*)</time>");
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::smatch m;
        if (line.rfind("<trk><name>", 0) == 0) name = line.substr(11, line.find("</name>") - 11);
        if (line == "<trkseg>") tracks[name].emplace_back();
        if (std::regex_search(line, m, time)) tracks[name].back().push_back(m[1]);
    }
    return tracks;
}

TrackPoint at(double second, std::uint32_t segment = 0) {
    return {second, 1796553767.0 + second, 44.5, 10.25, 27.78, 45.0, segment};
}

TEST(GpxTracks, EachWriteAddsTheNewPointsToTheirTracks) {
    testing::ScratchFolder folder;
    TrackHistory history(21);
    GpxTracks gpx(folder.at("tracce.gpx"));
    history.add(0, at(1));
    history.add(0, at(2));
    gpx.take(history);
    ASSERT_EQ(gpx.write(), "");
    EXPECT_EQ(gpx.pending(), 0u) << "nothing held once written";
    history.add(3, at(3));
    history.add(0, at(4));
    history.add(0, at(5, 1));  // set by hand: a new segment
    gpx.take(history);
    gpx.take(history);  // taken twice, kept once
    ASSERT_EQ(gpx.write(), "");
    const std::string text = folder.get("tracce.gpx");
    using Segments = std::vector<std::vector<std::string>>;
    EXPECT_EQ(tracks_in(text)["Mezzo 0"],
              (Segments{{"2026-12-06T10:42:48.000Z", "2026-12-06T10:42:49.000Z", "2026-12-06T10:42:51.000Z"},
                        {"2026-12-06T10:42:52.000Z"}}));
    EXPECT_EQ(tracks_in(text)["Mezzo 3"], (Segments{{"2026-12-06T10:42:50.000Z"}}));
    EXPECT_NE(text.find("<trkpt lat=\"44.5000000\" lon=\"10.2500000\"><time>2026-12-06T10:42:48.000Z</time>"
                        "<extensions><gpxtpx:TrackPointExtension><gpxtpx:speed>27.78</gpxtpx:speed>"
                        "<gpxtpx:course>45.0</gpxtpx:course>"),
              std::string::npos);
    EXPECT_EQ(gpx.written(), 5);
}

// A failure says the system's reason in Italian; the points wait for the
// next write, and the file written before is never written over with only
// the new ones (as it would be if a read it cannot do counted as no file).
TEST(GpxTracks, AFailedWriteKeepsThePointsForTheNext) {
    testing::ScratchFolder folder;
    TrackHistory history(21);
    GpxTracks gpx(folder.at("manca/tracce.gpx"));
    history.add(2, at(1));
    gpx.take(history);
    EXPECT_NE(gpx.write().find("non si scrivono: il file o la cartella non esiste"), std::string::npos);
    EXPECT_EQ(gpx.pending(), 1u);
    std::filesystem::create_directory(folder.at("manca"));
    history.add(2, at(2));
    gpx.take(history);
    ASSERT_EQ(gpx.write(), "");

    // Descriptors for the new file, none for reading the one written before.
    history.add(2, at(3));
    gpx.take(history);
    rlimit saved{};
    getrlimit(RLIMIT_NOFILE, &saved);
    const int lowest_free = dup(0);  // the only number left below the limit
    close(lowest_free);
    const rlimit tight{static_cast<rlim_t>(lowest_free) + 1, saved.rlim_max};
    setrlimit(RLIMIT_NOFILE, &tight);
    const std::string why = gpx.write();
    setrlimit(RLIMIT_NOFILE, &saved);
    EXPECT_NE(why.find("non si scrivono: il file scritto prima non si legge: troppi file aperti dal programma"),
              std::string::npos) << why;
    ASSERT_EQ(gpx.write(), "");
    EXPECT_EQ(tracks_in(folder.get("manca/tracce.gpx"))["Mezzo 2"].at(0).size(), 3u);
}

}  // namespace
}  // namespace vadrel
