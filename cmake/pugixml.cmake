# pugixml: XML documents with XPath 1.0 for the XML commands. Third-party code, built
# as it comes, without the project's warning flags; the core links it.
set(PUGIXML_SOURCE_ROOT ${ZEV_THIRD_PARTY}/pugixml/src)
if(NOT EXISTS ${PUGIXML_SOURCE_ROOT}/pugixml.cpp)
  message(FATAL_ERROR "third_party/pugixml is missing: run 'make deps' (scripts/setup.sh) first")
endif()

add_library(zev_pugixml STATIC ${PUGIXML_SOURCE_ROOT}/pugixml.cpp)
target_include_directories(zev_pugixml SYSTEM PUBLIC ${PUGIXML_SOURCE_ROOT})
target_link_libraries(zev_core PUBLIC zev_pugixml)
