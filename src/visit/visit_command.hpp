// The Visit button's command: fetch the typed URL as the chosen crawler and show the body.
#pragma once

#include <functional>

#include "fetch/fetch_page.hpp"
#include "platform/main_window.hpp"

namespace crawlerview {

using PageFetch = std::function<ByteBuffer(const FetchRequest&)>;

// Runs on the window thread, inside the dispatch of the click.
void VisitCommand(MainWindowControls& window);
// The same with another fetch (tests use a fake).
void VisitCommand(MainWindowControls& window, const PageFetch& fetch);

}  // namespace crawlerview
