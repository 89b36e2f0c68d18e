# The fleet command: many PCs at once, each checked by the same logic as the single check, in a
# worker process of its own.

# CLI11 and nlohmann-json are header-only Debian packages. Their headers are reached through links
# in the build tree rather than through /usr/include, which a cross build must never search.
foreach(header_dir CLI nlohmann)
  if(NOT EXISTS /usr/include/${header_dir})
    message(FATAL_ERROR "/usr/include/${header_dir} is missing: install libcli11-dev and "
                        "nlohmann-json3-dev (bash tools/install-deps.sh)")
  endif()
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/third_party)
  file(CREATE_LINK /usr/include/${header_dir} ${CMAKE_BINARY_DIR}/third_party/${header_dir} SYMBOLIC)
endforeach()

add_library(cairn_fleet STATIC
  fleet/check_job.cc
  fleet/fleet_options.cc
  fleet/fleet_report.cc
  fleet/fleet_run.cc
  fleet/html_report.cc
  fleet/pc_list.cc
  fleet/pc_record.cc
  fleet/record_fields.cc
  fleet/progress.cc
  fleet/reasons.cc
  fleet/restore_services.cc
  fleet/safe_cell.cc
  fleet/service_journal.cc
  fleet/service_phase.cc
  fleet/step_reports.cc
  fleet/record_files.cc
  fleet/summary.cc
)
target_include_directories(cairn_fleet SYSTEM PUBLIC ${CMAKE_BINARY_DIR}/third_party)
target_link_libraries(cairn_fleet PUBLIC cairn_logic)

add_executable(cairnmark-fleet fleet/main.cc)
target_link_libraries(cairnmark-fleet PRIVATE cairn_fleet cairn_platform)

# The lab's twin, which rewrites the writable stand-in of the Winlogon key.
cairn_add_lab_key_twin(cairnmark-fleet cairnmark-fleet-labkey)
