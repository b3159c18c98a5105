// What a map frame shows of its labels on real maps: no icon over another
// icon or over a text, and no text over another text, at the town scales
// of a map compiled from OpenStreetMap and of the IMG maps.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "geometry/map_types.h"
#include "mapview/map_labels.h"
#include "mapview/map_page.h"
#include "platform/qt/qt_canvas.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "shell/settings.h"
#include "tests/support/qt_app.h"
#include "tests/support/test_support.h"

namespace velka {
namespace {

struct CShown {
    std::vector<CLabelBox> icons;
    std::vector<std::vector<CLabelBox>> texts; // per label
    std::size_t cLabels = 0;
};

// The labels of one 1280 x 800 frame centred on (lon, lat) at a scale.
CShown Frame(const std::string& strMap, double dLon, double dLat, unsigned uScale) {
    CShown shown;
    CMapPage page;
    page.SetBitmapFactory([](int cx, int cy) { return std::make_unique<CQtCanvas>(cx, cy); });
    page.SetClientSize(1280, 800);
    page.Init();
    if (!page.LoadMap(FromUtf8(strMap), false)) return shown;
    page.Position().SetPersistent(false);
    page.Position().SetScale(uScale);
    page.Position().SetCenter(DegreesToUnits(dLon), DegreesToUnits(dLat));
    page.SetLabelsPlacedHandler([&](const CMapLabelStore& store) {
        for (const CLabelRecord& r : store.Records()) {
            if (!r.fVisible) continue;
            ++shown.cLabels;
            if (r.uIcon) shown.icons.push_back(store.IconBox(r));
            shown.texts.push_back(r.fText ? store.TextBoxes(r) : std::vector<CLabelBox>{});
            if (!r.uIcon) shown.icons.push_back({});
        }
    });
    page.RefreshMap(true);
    page.Done();
    return shown;
}

bool Empty(const CLabelBox& b) { return b.right <= b.left || b.bottom <= b.top; }

// Counts the overlaps between different labels' icons and texts.
void ExpectNoOverlaps(const CShown& s, const std::string& strWhat) {
    ASSERT_EQ(s.icons.size(), s.texts.size());
    int cIconIcon = 0, cIconText = 0, cTextText = 0;
    for (std::size_t i = 0; i < s.icons.size(); ++i)
        for (std::size_t j = i + 1; j < s.icons.size(); ++j) {
            const CLabelBox& a = s.icons[i];
            const CLabelBox& b = s.icons[j];
            if (!Empty(a) && !Empty(b) && a.Intersects(b)) ++cIconIcon;
            for (const CLabelBox& t : s.texts[j])
                if (!Empty(a) && a.Intersects(t)) ++cIconText;
            for (const CLabelBox& t : s.texts[i])
                if (!Empty(b) && b.Intersects(t)) ++cIconText;
            for (const CLabelBox& t : s.texts[i])
                for (const CLabelBox& u : s.texts[j])
                    if (t.Intersects(u)) ++cTextText;
        }
    EXPECT_EQ(cIconIcon, 0) << strWhat << ": icons over icons";
    EXPECT_EQ(cIconText, 0) << strWhat << ": icons over texts";
    EXPECT_EQ(cTextText, 0) << strWhat << ": texts over texts";
}

class LabelLayoutTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        test::QtApp();
        RegSetDatabasePath(":memory:");
        SettingsOpen();
        WriteSettingBool(u"ShowMapGauges", false);
    }
    static void TearDownTestSuite() { SettingsClose(); }
};

TEST_F(LabelLayoutTest, CompiledCityCentreShowsNoIconOverIconOrLabel) {
    const std::filesystem::path pbf = test::CorpusPath("osm/monaco-20210421.osm.pbf");
    VELKA_REQUIRE_CORPUS(pbf);
    test::TempDir dir;
    const std::string strMap = dir.File("monaco.zem");
    const std::string strTool = std::string(VELKA_BINARY_DIR) + "/bin/velkatool";
    ASSERT_EQ(std::system((strTool + " mapc " + pbf.string() + " -o " + strMap + " --quiet").c_str()), 0);
    std::size_t cMost = 0;
    for (unsigned uScale = 4; uScale <= 10; ++uScale) {
        const CShown s = Frame(strMap, 7.4246, 43.7384, uScale);
        ExpectNoOverlaps(s, "monaco.zem scale " + std::to_string(uScale));
        cMost = std::max(cMost, s.cLabels);
    }
    // The centre of Monaco has names and icons to show.
    EXPECT_GT(cMost, 50u);
}

TEST_F(LabelLayoutTest, ImgMapsShowNoLabelOverAnother) {
    struct {
        const char* szFile;
        double dLon, dLat;
    } const aMaps[] = {{"img/monaco-6bit-route.img", 7.4246, 43.7384},
                       {"img/moscow-center-6bit-route.img", 37.6387, 55.7613},
                       {"img/liechtenstein-6bit-route.img", 9.5215, 47.1410}};
    for (const auto& m : aMaps) {
        const std::filesystem::path img = test::CorpusPath(m.szFile);
        VELKA_REQUIRE_CORPUS(img);
        std::size_t cMost = 0;
        for (unsigned uScale = 4; uScale <= 10; uScale += 2) {
            const CShown s = Frame(img.string(), m.dLon, m.dLat, uScale);
            ExpectNoOverlaps(s, std::string(m.szFile) + " scale " + std::to_string(uScale));
            cMost = std::max(cMost, s.cLabels);
        }
        EXPECT_GT(cMost, 20u) << m.szFile;
    }
}

} // namespace
} // namespace velka
