# An include that points up must not build: for each layer, a source that
# includes a header of the layer above it, compiled as that layer's own code
# is. The build tree is shared, so these builds take turns.
foreach(pair platform:textio/free_writer.hpp textio:linalg/dense.hpp
             linalg:structure/orders.hpp structure:run/main.hpp)
  string(REPLACE ":" ";" pair ${pair})
  list(GET pair 0 layer)
  list(GET pair 1 header)
  file(CONFIGURE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/layer_up_${layer}.cpp
       CONTENT "#include \"${header}\"\n")
  add_library(layer_up_${layer} OBJECT EXCLUDE_FROM_ALL ${CMAKE_CURRENT_BINARY_DIR}/layer_up_${layer}.cpp)
  target_link_libraries(layer_up_${layer} PRIVATE rcwa_${layer})
  add_test(NAME layers_${layer}_cannot_include_above
    COMMAND ${CMAKE_COMMAND} --build ${CMAKE_BINARY_DIR} --target layer_up_${layer})
  set_tests_properties(layers_${layer}_cannot_include_above PROPERTIES
    PASS_REGULAR_EXPRESSION "${header}: No such file" RESOURCE_LOCK rcwa_build_tree TIMEOUT 300)
endforeach()
