// Placeholder until the worker lands.
#include "fetch/http_worker.hpp"
