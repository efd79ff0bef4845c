// Placeholder: season and episode parser.
#include "vorn_internal.h"
int vorn_season_episode(const char *, int *, int *) { return 0; }
