// Placeholder until the libcurl client lands.
#include "platform/http_client.hpp"
