# Build step: puts the operators' table beside ZARQACCT.DLL as OPERATORS.CSV,
# the shared data file when it is there, else the small table kept here, and
# after it the practice entries (PRACTICE): the simulated network whose WAP
# gateway and MMS server are the practice operator MMSC that tools/run starts.
if(EXISTS "${PRIMARY}")
  set(source "${PRIMARY}")
else()
  set(source "${FALLBACK}")
endif()
file(READ "${source}" table)
if(NOT table MATCHES "\n$")
  string(APPEND table "\n")
endif()
if(DEFINED PRACTICE AND EXISTS "${PRACTICE}")
  file(READ "${PRACTICE}" practice)
  string(APPEND table "${practice}")
endif()
set(old "")
if(EXISTS "${OUT}")
  file(READ "${OUT}" old)
endif()
if(NOT old STREQUAL table)
  file(WRITE "${OUT}" "${table}")
endif()
