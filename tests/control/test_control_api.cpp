// The control interface apart from sockets: each route, the status codes
// and the refusals a client gets, on a fake simulator with a real fleet; and
// its key, vadrel.token, in a real program folder.

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>

#include "control/control_api.h"
#include "control/control_json.h"
#include "config/program_folder.h"
#include "control/access.h"
#include "control/control_token.h"
#include "fake_target.h"
#include "support/scratch_folder.h"

namespace vadrel::testing {
namespace {

using Method = QHttpServerRequest::Method;

constexpr const char* json = "application/json";

// The routes on a fake simulator: the reply to a request.
class Api : public ::testing::Test {
protected:
    FakeTarget target;
    ApiReply ask(Method method, const char* path, const char* body = "", const char* type = json) {
        const QString url = QString::fromUtf8(path);
        const qsizetype query = url.indexOf(u'?');
        return answer({method, url.left(query), type, body, query < 0 ? QString() : url.mid(query + 1)}, target);
    }
};

struct Row {
    const char* name;
    Method method;
    const char* path;
    const char* body;
    int status;
    const char* field;  // "campo" of a refusal; nullptr for a success
    const char* type = json;
};

class Answers : public Api, public ::testing::WithParamInterface<Row> {};

TEST_P(Answers, StatusAndField) {
    const Row& row = GetParam();
    const ApiReply reply = ask(row.method, row.path, row.body, row.type);
    EXPECT_EQ(reply.status, row.status) << QJsonDocument(reply.body).toJson().toStdString();
    if (row.field != nullptr) {
        EXPECT_EQ(reply.body.value("campo").toString().toStdString(), row.field);
        EXPECT_FALSE(reply.body.value("errore").toString().isEmpty());
        EXPECT_EQ(target.changes, 0) << "a refused change changes nothing";
    } else {
        EXPECT_FALSE(reply.body.contains("errore"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Routes, Answers,
    ::testing::Values(
        Row{"last_vehicle", Method::Get, "/api/v1/mezzi/20", "", 200, nullptr},
        Row{"vehicle_huge_number", Method::Get, "/api/v1/mezzi/99999999999999999999", "", 404, ""},
        Row{"vehicle_negative", Method::Get, "/api/v1/mezzi/-1", "", 404, ""},
        Row{"trailing_slash", Method::Get, "/api/v1/stato/", "", 404, ""},
        Row{"path_outside_the_api", Method::Get, "/etc/passwd", "", 404, ""},
        Row{"events_without_upgrade", Method::Get, "/api/v1/eventi", "", 426, ""},
        Row{"course_360", Method::Patch, "/api/v1/mezzi/3", R"({"rotta": 360})", 200, nullptr},
        Row{"course_as_text", Method::Patch, "/api/v1/mezzi/3", R"({"rotta": "90"})", 400, "rotta"},
        Row{"unit_knots", Method::Patch, "/api/v1/mezzi/3", R"({"unita": "nodi", "velocita": 12})", 200, nullptr},
        Row{"unit_unknown", Method::Patch, "/api/v1/mezzi/3", R"({"unita": "mph"})", 400, "unita"},
        Row{"unknown_field", Method::Patch, "/api/v1/mezzi/3", R"({"altezza": 3})", 400, "altezza"},
        Row{"latitude_past_the_pole", Method::Patch, "/api/v1/mezzi/3", R"({"lat": 95})", 400, "lat"},
        Row{"longitude_past_180", Method::Patch, "/api/v1/mezzi/3", R"({"lon": -180.5})", 400, "lon"},
        Row{"position_both_ways", Method::Patch, "/api/v1/mezzi/3",
            R"({"posizione": "45 N", "lat": 45})", 400, "posizione"},
        Row{"not_json_by_type", Method::Patch, "/api/v1/mezzi/3", R"({"rotta": 90})", 415, "", "text/plain"},
        Row{"json_with_charset", Method::Patch, "/api/v1/mezzi/3",
            R"({"rotta": 90})", 200, nullptr, "application/json; charset=utf-8"},
        Row{"no_type_but_json", Method::Patch, "/api/v1/mezzi/3", R"({"rotta": 90})", 200, nullptr, ""},
        Row{"empty_body", Method::Patch, "/api/v1/mezzi/3", "", 415, ""},
        Row{"json_array", Method::Patch, "/api/v1/mezzi/3", "[1, 2]", 400, ""},
        Row{"stop", Method::Put, "/api/v1/trasmissione", R"({"attiva": false})", 200, nullptr},
        Row{"stop_as_text", Method::Put, "/api/v1/trasmissione", R"({"attiva": "no"})", 400, "attiva"},
        Row{"stop_missing", Method::Put, "/api/v1/trasmissione", "{}", 400, "attiva"},
        Row{"mode_unknown", Method::Put, "/api/v1/modo", R"({"modo": "nmea"})", 400, "modo"},
        Row{"vehicles_zero", Method::Put, "/api/v1/modo", R"({"modo": "multi", "mezzi": 0})", 400, "mezzi"},
        Row{"vehicles_fraction", Method::Put, "/api/v1/modo", R"({"modo": "multi", "mezzi": 2.5})", 400, "mezzi"},
        Row{"vehicles_refused_by_the_simulator", Method::Put, "/api/v1/modo",
            R"({"modo": "multi", "mezzi": 20})", 400, "mezzi"},
        Row{"receiver", Method::Patch, "/api/v1/ricevitore",
            R"({"utc": true, "frasi": "complete", "quota": 120})", 200, nullptr},
        Row{"altitude_too_high", Method::Patch, "/api/v1/ricevitore", R"({"quota": 200000})", 400, "quota"},
        Row{"faults", Method::Patch, "/api/v1/ricevitore",
            R"({"guasti": {"attivi": true, "perdita": 0.1, "seme": 7}})", 200, nullptr},
        Row{"fault_rate_past_1", Method::Patch, "/api/v1/ricevitore", R"({"guasti": {"perdita": 2}})", 400, "guasti"},
        Row{"fault_seed_negative", Method::Patch, "/api/v1/ricevitore",
            R"({"guasti": {"seme": -1}})", 400, "guasti.seme"},
        Row{"fault_unknown_field", Method::Patch, "/api/v1/ricevitore",
            R"({"guasti": {"ritardo": 1}})", 400, "guasti.ritardo"},
        Row{"sentences_unknown", Method::Patch, "/api/v1/ricevitore", R"({"frasi": "tutte"})", 400, "frasi"}),
    [](const ::testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

TEST_F(Api, MethodNotAllowedNamesTheMethodsOfThePath) {
    const ApiReply reply = ask(Method::Post, "/api/v1/mezzi/3", "{}");
    EXPECT_EQ(reply.headers, (std::vector<std::pair<QByteArray, QByteArray>>{{"Allow", "GET, PATCH"}}));
}

TEST_F(Api, ChangesRefusedWhileALogIsReplayedReadsStillServed) {
    target.replay = true;
    const std::tuple<Method, const char*, const char*, int> rows[] = {
        {Method::Put, "/api/v1/trasmissione", R"({"attiva": false})", 409},
        {Method::Put, "/api/v1/modo", R"({"modo": "radio"})", 409},
        {Method::Patch, "/api/v1/ricevitore", R"({"utc": true})", 409},
        {Method::Get, "/api/v1/stato", "", 200},
    };
    for (const auto& [method, path, body, status] : rows)
        EXPECT_EQ(ask(method, path, body).status, status) << path;
    EXPECT_EQ(target.changes, 0);
}

TEST_F(Api, RefusedPatchLeavesTheVehicleAsItWas) {
    ASSERT_EQ(ask(Method::Patch, "/api/v1/mezzi/4", R"({"rotta": 45, "velocita": 10})").status, 200);
    const Vehicle before = target.fleet.vehicle(4);
    const ApiReply reply =
        ask(Method::Patch, "/api/v1/mezzi/4", R"({"posizione": "45 N 9 E", "rotta": 90, "velocita": 99999})");
    EXPECT_EQ(reply.body.value("errore").toString().toStdString(), speed_problem(99999)->reason) << "the fleet's own";
    EXPECT_TRUE(target.fleet.vehicle(4).same_values(before));
}

// A vehicle comes back to a ten-millionth of a degree: 1,7775' = 0.0296250°.
TEST_F(Api, PatchedVehicleComesBackToATenMillionthOfADegree) {
    const QJsonObject v = ask(Method::Patch, "/api/v1/mezzi/7", R"({"posizione": "44 01,7775 N 10 08,0623 E"})").body;
    EXPECT_EQ(std::pair(v.value("lat").toDouble(), v.value("lon").toDouble()), std::pair(44.0296250, 10.1343717));
}

TEST_F(Api, StateHoldsEveryVehicleAndTheSimulator) {
    target.mode = SendMode::multi;
    target.vehicles_in_use = 5;
    const QJsonObject state = ask(Method::Get, "/api/v1/stato").body;
    EXPECT_EQ(state.value("modo").toString(), "multi");
    EXPECT_EQ(state.value("mezzi_in_uso").toInt(), 5);
    EXPECT_EQ(state.value("porta").toObject().value("stato").toString(), "Tx OK");
    EXPECT_EQ(state.value("uscite").toArray()[0].toObject().value("client").toArray()[0].toString(), "127.0.0.1:40312");
    EXPECT_EQ(state.value("ricevitore").toObject().value("frasi").toString(), "rmc");
}

TEST_F(Api, ReceiverPatchKeepsWhatItDoesNotName) {
    target.receiver.utc = true;
    target.receiver.guasti = {true, 0.1, 0.2, 0.3, 9};
    ASSERT_EQ(ask(Method::Patch, "/api/v1/ricevitore", R"({"guasti": {"checksum": 0.5}})").status, 200);
    EXPECT_TRUE(target.receiver.utc);
    EXPECT_EQ(target.receiver.guasti, (Guasti{true, 0.1, 0.5, 0.3, 9}));
    // Checksum and cut together past 1: the menu's reason.
    EXPECT_EQ(ask(Method::Patch, "/api/v1/ricevitore", R"({"guasti": {"tronca": 0.6}})").status, 400);
}

TEST(Json, SecondCarriesEveryByteAndTheVehicles) {
    Vehicle v;
    v.lat = -3600.0 * 12.5;
    const std::string bytes("\r\n\0\0\0\0\0$GPRMC,1*00\r\n", 20);
    const QJsonObject second = second_json(bytes, {{2, v}});
    EXPECT_EQ(second.value("byte").toInt(), 20);
    EXPECT_EQ(second.value("inviati").toString().toLatin1().toStdString(), bytes);
    const QJsonObject vehicle = second.value("mezzi").toArray()[0].toObject();
    EXPECT_DOUBLE_EQ(vehicle.value("lat").toDouble(), -12.5);
    EXPECT_FALSE(vehicle.contains("lat_inviata")) << "no noise, nothing else said";
    // With the receiver's noise: the true position and the one the sentences said.
    const QJsonObject noisy =
        second_json(bytes, {{2, v, -3600.0 * 12.5001, 3600.0 * 0.0002}}).value("mezzi").toArray()[0].toObject();
    EXPECT_DOUBLE_EQ(noisy.value("lat").toDouble(), -12.5);
    EXPECT_DOUBLE_EQ(noisy.value("lat_inviata").toDouble(), -12.5001);
    EXPECT_DOUBLE_EQ(noisy.value("lon_inviata").toDouble(), 0.0002);
}

// vadrel.token in a real program folder: made once with mode 0600, read
// back the same, shown only when made; another key is another.
TEST(ControlToken, MadeOncePrivateThenReadBack) {
    ScratchFolder scratch;
    ProgramFolder folder(scratch.path());
    const auto first = control_token(folder), again = control_token(folder);
    const auto *made = std::get_if<ControlToken>(&first), *read = std::get_if<ControlToken>(&again);
    ASSERT_TRUE(made && read);
    EXPECT_EQ(std::tuple(made->made, made->value.size(), scratch.mode("vadrel.token"), scratch.get("vadrel.token")),
              std::tuple(true, 43u, 0600u, made->value + "\n"));
    EXPECT_NE(token_notice(*made, folder).find(made->value), std::string::npos);
    EXPECT_EQ(std::pair(read->value, read->made), std::pair(made->value, false));
    EXPECT_EQ(token_notice(*read, folder).find(made->value), std::string::npos) << "shown once, when made";
    EXPECT_NE(new_token(), made->value) << "each key drawn anew";
}

// A vadrel.token there gives its key only when it is private and holds one
// word; the file stays as it is.
TEST(ControlToken, AFileThereIsTakenOnlyWhenPrivateAndAKey) {
    const std::tuple<const char*, unsigned, const char*> rows[] = {  // bytes, mode, "=" and the key, or the refusal
        {"la-mia_chiave.di~prova+1/2=\r\n", 0600, "=la-mia_chiave.di~prova+1/2="},
        {"abcdefghijklmnopqrstuvwxyz\n", 0640, "altri utenti"},
        {"abcdefghijklmnopqrstuvwxyz\n", 0604, "altri utenti"},
        {"abc\n", 0600, "non contiene una chiave valida"},
        {"abcdefghij klmnopqrstuvwxyz\n", 0600, "non contiene una chiave valida"},
    };
    for (const auto& [bytes, mode, said] : rows) {
        ScratchFolder scratch;
        scratch.put("vadrel.token", bytes);
        ::chmod(scratch.at("vadrel.token").c_str(), mode);
        ProgramFolder folder(scratch.path());
        const auto token = control_token(folder);
        const auto* key = std::get_if<ControlToken>(&token);
        const std::string got = key ? "=" + key->value : std::get<std::string>(token);
        EXPECT_TRUE(key ? got == said : got.find(said) != std::string::npos) << bytes << ": " << got;
        EXPECT_EQ(scratch.get("vadrel.token"), bytes);
    }
}

TEST(ControlToken, LinkUnderItsNameRefusesTheFolder) {
    ScratchFolder scratch;
    ASSERT_EQ(::symlink("/etc/passwd", scratch.at("vadrel.token").c_str()), 0);
    EXPECT_THROW(ProgramFolder folder(scratch.path()), FolderRefused);
}

TEST(SameSecret, ComparesWholeSecrets) {
    EXPECT_TRUE(same_secret("abc", "abc"));
    EXPECT_FALSE(same_secret("abc", "abd"));
    EXPECT_FALSE(same_secret("abc", "ab"));
    EXPECT_FALSE(same_secret("ab", "abc"));
    EXPECT_FALSE(same_secret("", "a"));
    EXPECT_TRUE(same_secret("", ""));
}

}  // namespace
}  // namespace vadrel::testing
