// Placeholder until the fetch lands.
#include "fetch/fetch_page.hpp"
