# The GSM 7-bit decoder of ZARQACCT.DLL as a pure library, so that native
# tests, fuzzers and benchmarks can link it too.
if(NOT TARGET zarq_gsm7)
  add_library(zarq_gsm7 STATIC ${CMAKE_CURRENT_LIST_DIR}/gsm7.cpp)
  zarq_warnings(zarq_gsm7)
  target_include_directories(zarq_gsm7 PUBLIC ${CMAKE_CURRENT_LIST_DIR})
  # The alphabet tables it shares with the SMS PDU coder.
  target_include_directories(zarq_gsm7 PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../common)
endif()
