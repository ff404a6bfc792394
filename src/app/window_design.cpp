// The one copy of the main window's design. Each back-end builds its window from this table, so
// the two platforms cannot drift apart in a position, a caption or the Tab order.
#include "app/window_design.hpp"

#include <array>

namespace crawlerview {
namespace {

constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kRed{255, 0, 0};

using enum ControlName;
using enum ControlKind;

// Creation order, which is also the Tab order; the hyperlink is no tab stop.
constexpr std::array kControls{
    ControlDesign{编辑框1, u8"编辑框1", EditBox, 11, 19, 632, 24, u8"", false, true, false, kBlack},
    ControlDesign{按钮1, u8"按钮1", Button, 648, 13, 160, 32, u8"访   问", false, true, false,
                  kBlack},
    ControlDesign{编辑框2, u8"编辑框2", EditBox, 17, 72, 800, 421, u8"", true, true, false, kBlack},
    ControlDesign{单选框1, u8"单选框1", RadioBox, 16, 48, 80, 15, u8"模拟百度", false, true, true,
                  kBlack},
    ControlDesign{单选框2, u8"单选框2", RadioBox, 96, 48, 80, 15, u8"模拟谷歌", false, true, false,
                  kBlack},
    ControlDesign{单选框3, u8"单选框3", RadioBox, 176, 48, 80, 15, u8"模拟雅虎", false, true, false,
                  kBlack},
    ControlDesign{单选框4, u8"单选框4", RadioBox, 256, 48, 80, 15, u8"模拟SOSO", false, true, false,
                  kBlack},
    ControlDesign{单选框5, u8"单选框5", RadioBox, 336, 48, 80, 15, u8"正常访问", false, true, false,
                  kRed},
    ControlDesign{超级链接框1, u8"超级链接框1", HyperLinker, 424, 48, 184, 16,
                  u8"CrawlerView 使用说明", false, false, false, kBlack},
};

// The label's caption is blue until opened, grey under the pointer, maroon once opened.
constexpr LinkColours kLinkColours{{0, 0, 255}, {128, 128, 128}, {128, 0, 0}};

constexpr WindowDesign kDesign{
    u8"CrawlerView 蜘蛛视角", 839, 539, u8"crawlerview-guide.html", kControls, kLinkColours,
};

// The table is indexed by name, so each row must sit at its own name's place.
constexpr bool rowsInNameOrder() {
    for (std::size_t i = 0; i < kControls.size(); ++i) {
        if (static_cast<std::size_t>(kControls[i].name) != i) {
            return false;
        }
    }
    return true;
}
static_assert(rowsInNameOrder());

}  // namespace

const WindowDesign& windowDesign() {
    return kDesign;
}

const ControlDesign& controlDesign(ControlName name) {
    return kControls[static_cast<std::size_t>(name)];
}

}  // namespace crawlerview
