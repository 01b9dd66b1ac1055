// Stands in for the program Windows opens a document with: appends its
// command line and working directory to the file named by the environment
// variable ZARQ_OPEN_RECORD, one line each, and ends.
#include <windows.h>

#include <cstdio>

int main() {
  char record[MAX_PATH] = "";
  if (!GetEnvironmentVariableA("ZARQ_OPEN_RECORD", record, sizeof record)) return 1;
  char directory[MAX_PATH] = "";
  GetCurrentDirectoryA(sizeof directory, directory);
  FILE* f = fopen(record, "a");
  if (!f) return 1;
  fprintf(f, "%s\n%s\n", GetCommandLineA(), directory);
  fclose(f);
  return 0;
}
