# The scriptable POP3 server, shared by the engine tests, the window tests and
# the benchmark. Included once, from whichever of them is built first.
include_guard(GLOBAL)
add_library(larkwatch_fake_pop3 STATIC
  ${CMAKE_CURRENT_LIST_DIR}/fake_pop3_server.h ${CMAKE_CURRENT_LIST_DIR}/fake_pop3_server.cpp)
target_include_directories(larkwatch_fake_pop3 PUBLIC ${CMAKE_CURRENT_LIST_DIR}/..)
target_link_libraries(larkwatch_fake_pop3 PUBLIC Qt6::Core Qt6::Network)
target_compile_definitions(larkwatch_fake_pop3 PRIVATE
  FAKE_POP3_PEM="${CMAKE_CURRENT_LIST_DIR}/fake_pop3_server.pem")
