// The main window's design, kept once as data and read by each back-end to build its window.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace crawlerview {

// The controls in creation order, which is also the Tab order.
enum class ControlName : std::uint8_t {
    编辑框1,
    按钮1,
    编辑框2,
    单选框1,
    单选框2,
    单选框3,
    单选框4,
    单选框5,
    超级链接框1,
};

enum class ControlKind : std::uint8_t { EditBox, Button, RadioBox, HyperLinker };

struct Rgb {
    std::uint8_t red, green, blue;
};

struct ControlDesign {
    ControlName name;
    std::u8string_view identifier;  // the control's name, for tests and accessibility
    ControlKind kind;
    int left, top, width, height;  // client coordinates
    std::u8string_view caption;    // UTF-8
    bool multiLine;                // edit boxes: the output box
    bool tabStop;
    bool checkedAtStart;  // radio buttons
    Rgb textColour;
};

// The hyperlink label's caption colours: before it is opened, under the pointer, once opened.
struct LinkColours {
    Rgb normal, hover, visited;
};

struct WindowDesign {
    std::u8string_view title;
    int outerWidth, outerHeight;    // including caption and frame
    std::u8string_view linkTarget;  // file name of the user guide, beside the program
    std::span<const ControlDesign> controls;
    LinkColours linkColours;
};

const WindowDesign& windowDesign();
const ControlDesign& controlDesign(ControlName name);

}  // namespace crawlerview
