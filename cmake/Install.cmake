# Installing Quilla (cmake --install BUILD [--prefix PREFIX]):
#   bin/quilla                        the program
#   share/quilla/                     its read-only data: device lists, design files,
#                                     help, placement pictures (the program looks for
#                                     them at ../share/quilla beside its executable)
#   lib/udev/rules.d/70-quilla.rules  access to the programmer for the logged-in user
#                                     (QUILLA_UDEV_RULES_DIR; udev reads /usr/lib/udev
#                                     and /etc/udev, so a prefix other than /usr needs
#                                     -DQUILLA_UDEV_RULES_DIR=/etc/udev/rules.d)
#   share/applications/quilla.desktop and its icon
set(QUILLA_UDEV_RULES_DIR "lib/udev/rules.d" CACHE STRING
  "Where the udev rule is installed (relative to the prefix, or absolute)")

if(TARGET quilla)
  install(TARGETS quilla RUNTIME DESTINATION bin)
endif()
install(DIRECTORY "${CMAKE_SOURCE_DIR}/data/" DESTINATION share/quilla
  PATTERN "udev" EXCLUDE
  PATTERN "desktop" EXCLUDE)
install(FILES "${CMAKE_SOURCE_DIR}/data/udev/70-quilla.rules" DESTINATION "${QUILLA_UDEV_RULES_DIR}")
install(FILES "${CMAKE_SOURCE_DIR}/data/desktop/quilla.desktop" DESTINATION share/applications)
install(FILES "${CMAKE_SOURCE_DIR}/data/desktop/quilla.svg" DESTINATION share/icons/hicolor/scalable/apps)

# The install test: installs into a temporary prefix and starts the installed
# program on the simulated programmer (offscreen).
if(QUILLA_TESTS AND TARGET quilla)
  add_test(NAME install
    COMMAND "${CMAKE_SOURCE_DIR}/tests/install/install_test.sh" "${CMAKE_BINARY_DIR}" "${PROJECT_VERSION}")
  set_tests_properties(install PROPERTIES TIMEOUT 120 ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endif()
