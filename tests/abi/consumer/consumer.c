#include <stdio.h>
#include <string.h>

#include <vorn.h>

int main(void) {
  if (strcmp(vorn_version(), "1.0.0") != 0 || strcmp(kelda_get()->runtime_type, "REALDEBRID") != 0) return 1;
  printf("%s %s\n", vorn_runtime_type(), vorn_version());
  return 0;
}
