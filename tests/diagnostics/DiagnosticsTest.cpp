// Reports of failed DirectDraw calls as a printf-style logger renders them,
// and the table of result-code names behind them.
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "RecordingPlovLogger.h"
#include "diagnostics/Diagnostics.h"
#include "diagnostics/DirectDrawResults.h"
#include "diagnostics/ModuleState.h"

namespace {

using namespace ZorvUISystem;

class DiagnosticsTest : public ::testing::Test {
protected:
    void SetUp() override { moduleState().logger = &logger; }
    void TearDown() override { moduleState().logger = nullptr; }

    // The single logFormat call recorded: level, format, rendered text.
    std::vector<std::string> onlyFormat()
    {
        const auto calls = record.callsTo("logFormat");
        EXPECT_EQ(calls.size(), 1u);
        EXPECT_EQ(record.calls.size(), 1u);
        return calls.empty() ? std::vector<std::string>{} : calls[0].args;
    }

    ZivTest::LoggerRecord record;
    ZivTest::RecordingPlovLogger logger{record};
};

struct NamedReport {
    uint32_t code;
    const char* printed;
    const char* name;
};

// The codes a report names, with the number %d prints for each.
const NamedReport kNamedReports[] = {
    {0x80004001, "-2147467263", "DDERR_UNSUPPORTED"},     {0x80004005, "-2147467259", "DDERR_GENERIC"},
    {0x80070057, "-2147024809", "DDERR_INVALIDPARAMS"},   {0x8876006E, "-2005532562", "DDERR_INVALIDCLIPLIST"},
    {0x88760082, "-2005532542", "DDERR_INVALIDOBJECT"},   {0x88760096, "-2005532522", "DDERR_INVALIDRECT"},
    {0x887600B4, "-2005532492", "DDERR_NOALPHAHW"},       {0x887600CD, "-2005532467", "DDERR_NOCLIPLIST"},
    {0x88760118, "-2005532392", "DDERR_NORASTEROPHW"},    {0x88760136, "-2005532362", "DDERR_NOSTRETCHHW"},
    {0x887601AE, "-2005532242", "DDERR_SURFACEBUSY"},     {0x887601C2, "-2005532222", "DDERR_SURFACELOST"},
    {0x8876021C, "-2005532132", "DDERR_WASSTILLDRAWING"}, {0x8876023F, "-2005532097", "DDERR_NOBLTHW"},
};

TEST_F(DiagnosticsTest, NamedCodesUseTheirOwnFormat)
{
    for (const NamedReport& report : kNamedReports) {
        record.calls.clear();
        reportDirectDrawError("blit", static_cast<HRESULT>(report.code));
        EXPECT_EQ(onlyFormat(), (std::vector<std::string>{"1", std::string("%s(%d) ") + report.name,
                                                          std::string("blit(") + report.printed + ") " + report.name}))
            << std::hex << report.code;
    }
}

TEST_F(DiagnosticsTest, SurfaceLostFromTheStretchBlitRendersAsContextNumberAndName)
{
    reportDirectDrawError("with alpha blend strecth blt source surface error", static_cast<HRESULT>(0x887601C2));
    EXPECT_EQ(onlyFormat(), (std::vector<std::string>{
                                "1", "%s(%d) DDERR_SURFACELOST",
                                "with alpha blend strecth blt source surface error(-2005532222) DDERR_SURFACELOST"}));
}

TEST_F(DiagnosticsTest, CodesOutsideTheReportTableUseTheBareFormat)
{
    // Named where surface creation reports it, but not in these reports.
    reportDirectDrawError("lock", static_cast<HRESULT>(0x88760064));
    EXPECT_EQ(onlyFormat(), (std::vector<std::string>{"1", "%s(%d)", "lock(-2005532572)"}));
    EXPECT_STREQ(directDrawResultName(static_cast<HRESULT>(0x88760064), RESULT_USE_SURFACE_CREATION),
                 "DDERR_INVALIDCAPS");
    EXPECT_EQ(directDrawResultName(static_cast<HRESULT>(0x88760064), RESULT_USE_REPORT), nullptr);

    record.calls.clear();
    reportDirectDrawError("fill", static_cast<HRESULT>(0x8007000E)); // DDERR_OUTOFMEMORY
    EXPECT_EQ(onlyFormat(), (std::vector<std::string>{"1", "%s(%d)", "fill(-2147024882)"}));

    record.calls.clear();
    reportDirectDrawError("odd", 1);
    EXPECT_EQ(onlyFormat(), (std::vector<std::string>{"1", "%s(%d)", "odd(1)"}));
}

TEST_F(DiagnosticsTest, NullContextPrintsAsEmpty)
{
    reportDirectDrawError(nullptr, static_cast<HRESULT>(0x887601C2));
    EXPECT_EQ(onlyFormat().at(2), "(-2005532222) DDERR_SURFACELOST");
}

TEST_F(DiagnosticsTest, WritersAreSilentWithoutALoggerObject)
{
    moduleState().logger = nullptr;
    reportDirectDrawError("blit", static_cast<HRESULT>(0x887601C2));
    logError("lost");
    EXPECT_TRUE(record.calls.empty());

    moduleState().logger = &logger;
    logError("lost");
    ASSERT_EQ(record.calls.size(), 1u);
    EXPECT_EQ(record.calls[0].function, "logMessage");
    EXPECT_EQ(record.calls[0].args, (std::vector<std::string>{"lost", "1"}));
}

struct SurfaceName {
    uint32_t code;
    const char* name;
};

// The codes a failed texture surface creation names.
const SurfaceName kSurfaceNames[] = {
    {0x8876005F, "DDERR_INCOMPATIBLEPRIMARY"},
    {0x88760064, "DDERR_INVALIDCAPS"},
    {0x80070057, "DDERR_INVALIDPARAMS"},
    {0x88760091, "DDERR_INVALIDPIXELFORMAT"},
    {0x887600B4, "DDERR_NOALPHAHW"},
    {0x887600D4, "DDERR_NOCOOPERATIVELEVELSET"},
    {0x887600E6, "DDERR_NOFLIPHW"},
    {0x88760104, "DDERR_NOOVERLAYHW"},
    {0x8007000E, "DDERR_OUTOFMEMORY"},
    {0x8876017C, "DDERR_OUTOFVIDEOMEMORY"},
    {0x88760234, "DDERR_PRIMARYSURFACEALREADYEXISTS"},
    {0x88760082, "DDERR_INVALIDOBJECT"},
};

TEST(DirectDrawResultTable, EachUseNamesExactlyItsCodes)
{
    std::set<uint32_t> reportCodes;
    for (const NamedReport& report : kNamedReports) {
        reportCodes.insert(report.code);
        EXPECT_STREQ(directDrawResultName(static_cast<HRESULT>(report.code), RESULT_USE_REPORT), report.name);
    }
    std::set<uint32_t> surfaceCodes;
    for (const SurfaceName& entry : kSurfaceNames) {
        surfaceCodes.insert(entry.code);
        EXPECT_STREQ(directDrawResultName(static_cast<HRESULT>(entry.code), RESULT_USE_SURFACE_CREATION), entry.name);
    }

    // One entry per code, and no use names a code beyond its list.
    std::set<uint32_t> seen;
    for (const DirectDrawResultEntry& entry : kDirectDrawResults) {
        const uint32_t code = static_cast<uint32_t>(entry.code);
        EXPECT_TRUE(seen.insert(code).second) << "duplicate " << entry.name;
        EXPECT_EQ((entry.uses & RESULT_USE_REPORT) != 0, reportCodes.count(code) == 1) << entry.name;
        EXPECT_EQ((entry.uses & RESULT_USE_SURFACE_CREATION) != 0, surfaceCodes.count(code) == 1) << entry.name;
    }
    for (DirectDrawResultUse use : {RESULT_USE_REPORT, RESULT_USE_SURFACE_CREATION}) {
        EXPECT_EQ(directDrawResultName(static_cast<HRESULT>(0x88760001), use), nullptr);
        EXPECT_EQ(directDrawResultName(0, use), nullptr);
    }
}

} // namespace
