// Placeholder until the command lands.
#include "visit/visit_command.hpp"
