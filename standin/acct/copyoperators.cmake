# Build step: puts the operators' table beside ZARQACCT.DLL as OPERATORS.CSV,
# the shared data file when it is there, else the small table kept here.
if(EXISTS "${PRIMARY}")
  set(source "${PRIMARY}")
else()
  set(source "${FALLBACK}")
endif()
file(COPY_FILE "${source}" "${OUT}" ONLY_IF_DIFFERENT)
