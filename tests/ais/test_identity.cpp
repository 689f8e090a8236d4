// A vehicle's AIS identity: the MMSI as the operator writes it, texts as
// AIS sends them, and every refusal naming its field.

#include <gtest/gtest.h>

#include <vector>

#include "ais/identity.h"

namespace vadrel {
namespace {

TEST(AisIdentity, TextsGoAsSixBitUpperCaseWithoutAccents) {
    const std::pair<const char*, const char*> rows[] = {
        {"Nave Città", "NAVE CITTA"},
        {"Sant\u2019Anna", "SANT'ANNA"},
        {"ÀÈÉÌÒÙ ç ñ", "AEEIOU C N"},
        {"a@b", "A?B"},
        {"straße", "STRA?E"},
        {"IT-1234_X", "IT-1234_X"},
    };
    for (const auto& [written, sent] : rows) EXPECT_EQ(six_bit_text(written), sent) << written;
}

TEST(AisIdentity, AnMmsiIsOneToNineDigits) {
    const struct Row {
        const char* text;
        std::uint32_t mmsi;  // 0: refused
    } rows[] = {
        {"900000003", 900000003}, {"2470123", 2470123},   {"000000001", 1},       {"999999999", 999999999},
        {"0", 0},                 {"000000000", 0},       {"1000000000", 0},      {"12a", 0},
        {"", 0},                  {"-1", 0},              {" 1", 0},              {"+5", 0},
    };
    for (const Row& row : rows) {
        const auto read = read_mmsi(row.text);
        const auto* mmsi = std::get_if<std::uint32_t>(&read);
        EXPECT_EQ(mmsi ? *mmsi : 0, row.mmsi) << row.text;
        EXPECT_EQ(mmsi ? "mmsi" : std::get<Refusal>(read).field, "mmsi") << row.text;
    }
    EXPECT_EQ(mmsi_text(2470123), "002470123");
    EXPECT_EQ(std::get<AisClass>(read_ais_class("b")), AisClass::b);
}

TEST(AisIdentity, RefusalsNameTheirField) {
    const struct Row {
        const char* name;
        void (*change)(AisIdentity&);
        const char* field;  // "" when allowed
    } rows[] = {
        {"a name of 20 with accents", [](AisIdentity& i) { i.name = "Nave della Città è 2"; }, ""},
        {"a name of 21", [](AisIdentity& i) { i.name = "ABCDEFGHIJKLMNOPQRSTU"; }, "nome"},
        {"'@' ends a text", [](AisIdentity& i) { i.name = "A@B"; }, "nome"},
        {"lower case is fine", [](AisIdentity& i) { i.name = "libeccio"; }, ""},
        {"a letter AIS has not", [](AisIdentity& i) { i.name = "STRAßE"; }, "nome"},
        {"not UTF-8", [](AisIdentity& i) { i.name = "\xC3("; }, "nome"},
        {"a control character", [](AisIdentity& i) { i.name = "A\tB"; }, "nome"},
        {"a call sign of 7", [](AisIdentity& i) { i.call_sign = "IABC123"; }, ""},
        {"a call sign of 8", [](AisIdentity& i) { i.call_sign = "IABC1234"; }, "nominativo"},
        {"MMSI 0", [](AisIdentity& i) { i.mmsi = 0; }, "mmsi"},
        {"MMSI of ten digits", [](AisIdentity& i) { i.mmsi = 1000000000; }, "mmsi"},
        {"type 99", [](AisIdentity& i) { i.ship_type = 99; }, ""},
        {"511 m to the bow", [](AisIdentity& i) { i.dimensions.to_bow = 511; }, ""},
        {"512 m to the stern", [](AisIdentity& i) { i.dimensions.to_stern = 512; }, "dimensioni"},
        {"64 m to port", [](AisIdentity& i) { i.dimensions.to_port = 64; }, "dimensioni"},
    };
    for (const Row& row : rows) {
        AisIdentity id = default_identity(1);
        row.change(id);
        const auto refusal = identity_problem(id);
        EXPECT_EQ(refusal ? refusal->field : "", row.field) << row.name << ": " << (refusal ? refusal->reason : "");
    }
    std::vector<AisIdentity> fleet{default_identity(0), default_identity(1)};
    fleet[1].ship_type = 200;
    EXPECT_EQ(fleet_identities_problem(fleet)->reason.substr(0, 9), "mezzo 1: ") << "the fleet names the vehicle";
}

}  // namespace
}  // namespace vadrel
