# A test that builds one target left out of the default build. Without an
# expected text the build must succeed; with one, its output must say it (a
# build that fails for some other reason, or builds, fails the test).
function(add_build_test name target expected)
  add_test(NAME ${name} COMMAND ${CMAKE_COMMAND} --build ${CMAKE_BINARY_DIR} --target ${target})
  # One build at a time in this build tree.
  set_tests_properties(${name} PROPERTIES RESOURCE_LOCK build_tree)
  if(expected)
    set_tests_properties(${name} PROPERTIES PASS_REGULAR_EXPRESSION "${expected}")
  endif()
endfunction()
