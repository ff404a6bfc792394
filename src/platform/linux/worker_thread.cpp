// Placeholder until the worker thread lands.
#include "platform/worker_thread.hpp"
