#include "platform/main_window.hpp"

int main(int argc, char** argv) { return crawlerview::platform::runMainWindow(argc, argv); }
