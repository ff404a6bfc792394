// Placeholder until the design lands.
#include "app/window_design.hpp"
