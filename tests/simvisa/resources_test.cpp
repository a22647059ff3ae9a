// Resource manager, search, parsing, open and close, status texts, operations that serial
// sessions do not support, the call log and fault injection.
#include <functional>
#include <vector>

#include "simvisa_test_support.h"

using namespace simvisa_test;

namespace {

class resources : public rm_test {};

TEST_F(resources, resource_managers_are_distinct_and_describe_themselves)
{
    ViSession other = VI_NULL;
    ASSERT_STATUS(VI_SUCCESS, viOpenDefaultRM(&other));
    EXPECT_NE(rm, other);
    EXPECT_NE(VI_NULL, other);
    char name[256] = "poison";
    EXPECT_STATUS(VI_SUCCESS, viGetAttribute(other, VI_ATTR_RSRC_NAME, name));
    EXPECT_STREQ("", name);
    EXPECT_EQ(VI_NULL, attr<ViSession>(other, VI_ATTR_RM_SESSION));
    EXPECT_EQ(static_cast<ViVersion>(VI_SPEC_VERSION),
              attr<ViVersion>(other, VI_ATTR_RSRC_SPEC_VERSION));
    EXPECT_STATUS(VI_ERROR_NSUP_ATTR, viGetAttribute(other, VI_ATTR_ASRL_BAUD, name));
    EXPECT_STATUS(VI_SUCCESS, viClose(other));
    EXPECT_STATUS(VI_ERROR_INV_OBJECT, viClose(other));
    EXPECT_STATUS(VI_ERROR_INV_PARAMETER, viOpenDefaultRM(nullptr));
}

TEST_F(resources, find_lists_the_configured_ports_in_order)
{
    ViFindList list = VI_NULL;
    ViUInt32 count = 0;
    char desc[VI_FIND_BUFLEN];
    ASSERT_STATUS(VI_SUCCESS, viFindRsrc(rm, "?*", &list, &count, desc));
    EXPECT_EQ(3u, count);
    std::vector<std::string> found{desc};
    while (viFindNext(list, desc) == VI_SUCCESS)
        found.push_back(desc);
    EXPECT_EQ((std::vector<std::string>{"ASRL1::INSTR", "ASRL2::INSTR", "ASRL3::INSTR"}), found);
    EXPECT_STATUS(VI_ERROR_RSRC_NFOUND, viFindNext(list, desc));
    EXPECT_STATUS(VI_SUCCESS, viClose(list));

    struct row {
        const char* expr;
        ViStatus status;
        ViUInt32 count;
    } rows[] = {
        {"ASRL[12]::INSTR", VI_SUCCESS, 2},
        {"asrl3?*", VI_SUCCESS, 1},
        {"ASRL(1|3)::INSTR", VI_SUCCESS, 2},
        {"GPIB?*", VI_ERROR_RSRC_NFOUND, 0},
        {"ASRL(1", VI_ERROR_INV_EXPR, 0},
        {"", VI_ERROR_INV_EXPR, 0},
        {"?*{VI_ATTR_ASRL_BAUD==9600}", VI_ERROR_INV_EXPR, 0},
    };
    for (const auto& r : rows) {
        count = 99;
        EXPECT_STATUS(r.status, viFindRsrc(rm, r.expr, VI_NULL, &count, desc)) << r.expr;
        EXPECT_EQ(r.count, count) << r.expr;
    }
    EXPECT_STATUS(VI_ERROR_INV_OBJECT, viFindRsrc(0xDEAD, "?*", &list, &count, desc));
}

TEST_F(resources, parse_gives_type_board_class_and_alias)
{
    struct row {
        const char* name;
        ViStatus status;
        ViUInt16 board;
        const char* expanded;
        const char* alias;
    } rows[] = {
        {"ASRL1::INSTR", VI_SUCCESS, 1, "ASRL1::INSTR", "COM1"},
        {"asrl2", VI_SUCCESS, 2, "ASRL2::INSTR", "COM2"},
        {"COM2", VI_SUCCESS, 2, "ASRL2::INSTR", "COM2"},
        {"ASRL7::INSTR", VI_SUCCESS, 7, "ASRL7::INSTR", ""},
        {"COM9", VI_ERROR_RSRC_NFOUND, 0, "", ""},
        {"ASRL1::SOCKET", VI_ERROR_INV_RSRC_NAME, 0, "", ""},
        {"ASRLx", VI_ERROR_INV_RSRC_NAME, 0, "", ""},
        {"GPIB0::5::INSTR", VI_ERROR_RSRC_NFOUND, 0, "", ""},
        {"nonsense", VI_ERROR_INV_RSRC_NAME, 0, "", ""},
    };
    for (const auto& r : rows) {
        ViUInt16 type = 0, board = 0;
        char cls[256] = "", expanded[256] = "", alias[256] = "";
        EXPECT_STATUS(r.status, viParseRsrcEx(rm, r.name, &type, &board, cls, expanded, alias))
            << r.name;
        if (r.status != VI_SUCCESS)
            continue;
        EXPECT_EQ(VI_INTF_ASRL, type) << r.name;
        EXPECT_EQ(r.board, board) << r.name;
        EXPECT_STREQ("INSTR", cls) << r.name;
        EXPECT_STREQ(r.expanded, expanded) << r.name;
        EXPECT_STREQ(r.alias, alias) << r.name;
        EXPECT_STATUS(VI_SUCCESS, viParseRsrc(rm, r.name, &type, &board)) << r.name;
    }
    ViUInt16 type, board;
    EXPECT_STATUS(VI_ERROR_INV_RSRC_NAME, viParseRsrc(rm, nullptr, &type, &board));
}

TEST_F(resources, open_refuses_bad_names_modes_and_sessions)
{
    ViSession vi = 0xBEEF;
    EXPECT_STATUS(VI_ERROR_RSRC_NFOUND, viOpen(rm, "ASRL9::INSTR", VI_NULL, 0, &vi));
    EXPECT_EQ(VI_NULL, vi);
    EXPECT_STATUS(VI_ERROR_INV_RSRC_NAME, viOpen(rm, "ASRL1::BOGUS", VI_NULL, 0, &vi));
    EXPECT_STATUS(VI_ERROR_INV_RSRC_NAME, viOpen(rm, nullptr, VI_NULL, 0, &vi));
    EXPECT_STATUS(VI_ERROR_INV_ACC_MODE, viOpen(rm, "ASRL1::INSTR", VI_SHARED_LOCK, 0, &vi));
    EXPECT_STATUS(VI_ERROR_INV_PARAMETER, viOpen(rm, "ASRL1::INSTR", VI_NULL, 0, nullptr));
    EXPECT_STATUS(VI_ERROR_INV_OBJECT, viOpen(0xDEAD, "ASRL1::INSTR", VI_NULL, 0, &vi));
    ViSession s = open("COM1");
    EXPECT_STATUS(VI_ERROR_NSUP_OPER, viOpen(s, "ASRL1::INSTR", VI_NULL, 0, &vi));
    char name[256];
    EXPECT_STATUS(VI_SUCCESS, viGetAttribute(s, VI_ATTR_RSRC_NAME, name));
    EXPECT_STREQ("ASRL1::INSTR", name);
}

TEST_F(resources, closing_the_resource_manager_closes_its_sessions)
{
    EXPECT_STATUS(VI_WARN_NULL_OBJECT, viClose(VI_NULL));
    const ViUInt32 before = simvisa_open_objects();
    ViSession s = open_dmm();
    ViFindList list;
    ViUInt32 count;
    char desc[VI_FIND_BUFLEN];
    ASSERT_STATUS(VI_SUCCESS, viFindRsrc(rm, "?*", &list, &count, desc));
    ASSERT_STATUS(VI_SUCCESS, viClose(rm));
    EXPECT_STATUS(VI_ERROR_INV_OBJECT, viClose(s));
    EXPECT_STATUS(VI_ERROR_INV_OBJECT, viFindNext(list, desc));
    EXPECT_STATUS(VI_ERROR_INV_OBJECT, write(s, "*IDN?\n"));
    EXPECT_EQ(before - 1, simvisa_open_objects()) << "only the resource manager was open before";
    rm = VI_NULL;
}

TEST_F(resources, every_status_has_a_description)
{
    const ViStatus known[] = {VI_SUCCESS,          VI_SUCCESS_TERM_CHAR,
                              VI_SUCCESS_SYNC,     VI_WARN_NULL_OBJECT,
                              VI_ERROR_TMO,        VI_ERROR_RSRC_LOCKED,
                              VI_ERROR_NSUP_OPER,  VI_ERROR_NIMPL_OPER,
                              VI_ERROR_INV_OBJECT, VI_ERROR_SERVER_CERT_INV_SUBJECT,
                              VI_ERROR_ABORT};
    char desc[256];
    for (ViStatus s : known) {
        desc[0] = '\0';
        EXPECT_STATUS(VI_SUCCESS, viStatusDesc(rm, s, desc)) << hex_status(s);
        EXPECT_GT(strlen(desc), 10u) << hex_status(s);
    }
    EXPECT_STATUS(VI_SUCCESS, viStatusDesc(rm, VI_ERROR_TMO, desc));
    EXPECT_STREQ("Timeout expired before operation completed.", desc);
    EXPECT_STATUS(VI_WARN_UNKNOWN_STATUS, viStatusDesc(rm, 0x12345, desc));
    EXPECT_STREQ("Unknown status code 0x00012345.", desc);
    EXPECT_STATUS(VI_ERROR_USER_BUF, viStatusDesc(rm, VI_ERROR_TMO, nullptr));
}

TEST_F(resources, register_gpib_vxi_and_usb_operations_are_not_supported)
{
    ViSession s = open_dmm();
    ViUInt8 v8 = 0x5A;
    ViUInt16 v16 = 0;
    ViUInt32 v32 = 0;
    ViBusAddress addr = 0;
    ViAddr mapped = nullptr;
    ViUInt8 block[4];
    const std::vector<std::pair<const char*, std::function<ViStatus(ViSession)>>> ops = {
        {"viIn8", [&](ViSession vi) { return viIn8(vi, VI_A16_SPACE, 0, &v8); }},
        {"viOut32Ex", [&](ViSession vi) { return viOut32Ex(vi, VI_A16_SPACE, 0, 1); }},
        {"viMoveIn8", [&](ViSession vi) { return viMoveIn8(vi, VI_A16_SPACE, 0, 4, block); }},
        {"viMove", [&](ViSession vi) { return viMove(vi, 1, 0, 1, 1, 0, 1, 4); }},
        {"viMoveAsyncEx",
         [&](ViSession vi) { return viMoveAsyncEx(vi, 1, 0, 1, 1, 0, 1, 4, nullptr); }},
        {"viMapAddress",
         [&](ViSession vi) { return viMapAddress(vi, 1, 0, 16, VI_FALSE, nullptr, &mapped); }},
        {"viUnmapAddress", [&](ViSession vi) { return viUnmapAddress(vi); }},
        {"viMemAlloc", [&](ViSession vi) { return viMemAlloc(vi, 16, &addr); }},
        {"viGpibControlREN", [&](ViSession vi) { return viGpibControlREN(vi, 1); }},
        {"viGpibCommand", [&](ViSession vi) { return viGpibCommand(vi, nullptr, 5, nullptr); }},
        {"viVxiCommandQuery", [&](ViSession vi) { return viVxiCommandQuery(vi, 0, 0, &v32); }},
        {"viUsbControlIn",
         [&](ViSession vi) { return viUsbControlIn(vi, 0, 0, 0, 0, 4, block, &v16); }},
    };
    for (const auto& [name, op] : ops) {
        EXPECT_STATUS(VI_ERROR_NSUP_OPER, op(s)) << name;
        EXPECT_STATUS(VI_ERROR_INV_OBJECT, op(0xDEAD)) << name;
    }
    EXPECT_EQ(0x5A, v8) << "out-parameters are left alone";
    viPeek8(s, nullptr, &v8);  // returns nothing and touches nothing
    viPoke64(0xDEAD, nullptr, 1);
    EXPECT_EQ(0x5A, v8);
}

TEST_F(resources, the_call_log_records_calls_with_their_arguments)
{
    ViSession s = open_dmm();
    simvisa_log_clear();
    EXPECT_STATUS(VI_SUCCESS, viFlush(s, VI_IO_IN_BUF_DISCARD));
    EXPECT_STATUS(VI_SUCCESS, viSetAttribute(s, VI_ATTR_TMO_VALUE, 500));
    std::string log(simvisa_log_text(nullptr, 0), '\0');
    simvisa_log_text(log.data(), static_cast<ViUInt32>(log.size()));
    log.resize(log.size() - 1);
    const std::string vi = std::to_string(s);
    EXPECT_EQ("viFlush(vi=" + vi + ",mask=64)\nviSetAttribute(vi=" + vi +
                  ",attrName=0x3FFF001A,attrValue=500)\n",
              log);
    EXPECT_EQ(1u, simvisa_log_count("mask=64"));
    EXPECT_EQ(2u, simvisa_log_count(nullptr));
    write(s, std::string("*IDN?\r\n\x01\"", 9));
    EXPECT_EQ(1u, simvisa_log_count(
                      ("viWrite(vi=" + vi + ",buf=\"*IDN?\\r\\n\\x01\\\"\",cnt=9,").c_str()))
        << "written data appears as a quoted string";
    simvisa_log_clear();
    EXPECT_EQ(0u, simvisa_log_count(nullptr));
}

TEST_F(resources, injected_statuses_replace_the_next_calls)
{
    ViSession s = open_dmm();
    ASSERT_STATUS(VI_SUCCESS, simvisa_fail_next("viWrite", VI_ERROR_IO, 2));
    EXPECT_STATUS(VI_ERROR_IO, write(s, "*IDN?\n"));
    EXPECT_STATUS(VI_ERROR_IO, write(s, "*IDN?\n"));
    EXPECT_EQ("SIMVISA,DMM-6500,SN100200,1.02\n", query(s, "*IDN?\n"))
        << "injected errors perform nothing";

    // A completion code is returned by a call that still does its work.
    ASSERT_STATUS(VI_SUCCESS, simvisa_fail_next("viOpen", VI_SUCCESS_DEV_NPRESENT, 1));
    ViSession other = VI_NULL;
    EXPECT_STATUS(VI_SUCCESS_DEV_NPRESENT, viOpen(rm, "ASRL1::INSTR", VI_NULL, 0, &other));
    EXPECT_EQ("SIMVISA,DMM-6500,SN100200,1.02\n", query(other, "*IDN?\n"));

    ASSERT_STATUS(VI_SUCCESS, simvisa_fail_next("viClose", VI_ERROR_CLOSING_FAILED, 1));
    ASSERT_STATUS(VI_SUCCESS, simvisa_fail_next("viClose", VI_ERROR_CLOSING_FAILED, 0));
    EXPECT_STATUS(VI_SUCCESS, viClose(other)) << "count 0 cancels";
    EXPECT_STATUS(VI_ERROR_INV_PARAMETER, simvisa_fail_next(nullptr, VI_ERROR_IO, 1));
}

}  // namespace
