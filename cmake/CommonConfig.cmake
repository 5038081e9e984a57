# drovane_common_config: what every library, program, test, benchmark and tool of the
# project is compiled with. Each target links it PRIVATE; drovane_check_common_config(),
# called last, refuses to configure a target that does not.
add_library(drovane_common_config INTERFACE)

# Text crosses between bytes and QString only where the code says which encoding it
# means (QStringLiteral, QLatin1String, fromUtf8, toUtf8): a silent conversion would send
# or store a user's text other than given.
target_compile_definitions(drovane_common_config INTERFACE
  QT_NO_CAST_FROM_ASCII
  QT_NO_CAST_TO_ASCII
  QT_NO_CAST_FROM_BYTEARRAY
  QT_NO_URL_CAST_FROM_STRING
  QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
  QT_NO_FOREACH
  QT_NO_JAVA_STYLE_ITERATORS
  # Nothing deprecated in the Qt the project is built with (Debian 12's 6.4).
  QT_DISABLE_DEPRECATED_BEFORE=0x060400)

# The warnings the code is kept free of; CI makes them errors (CMAKE_COMPILE_WARNING_AS_ERROR).
target_compile_options(drovane_common_config INTERFACE
  -Wall -Wextra -Wpedantic
  -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual -Wsuggest-override
  -Wcast-qual -Wold-style-cast -Wformat=2 -Wimplicit-fallthrough
  -Wextra-semi -Wmissing-declarations -Wredundant-decls
  $<$<CXX_COMPILER_ID:GNU>:-Wduplicated-cond -Wduplicated-branches -Wlogical-op>)

# The sanitizer build checks the engine's own assertions (Q_ASSERT) whatever its build type.
if(DROVANE_SANITIZE)
  target_compile_definitions(drovane_common_config INTERFACE QT_FORCE_ASSERTS)
endif()

# Every compiled target of `dir` and the folders below it, into the variable `out`.
function(_drovane_targets_below dir out)
  get_property(targets DIRECTORY "${dir}" PROPERTY BUILDSYSTEM_TARGETS)
  get_property(subdirs DIRECTORY "${dir}" PROPERTY SUBDIRECTORIES)
  foreach(sub IN LISTS subdirs)
    _drovane_targets_below("${sub}" below)
    list(APPEND targets ${below})
  endforeach()
  set(${out} ${targets} PARENT_SCOPE)
endfunction()

# Fails the configure step when a library or program does not link drovane_common_config.
function(drovane_check_common_config)
  _drovane_targets_below("${PROJECT_SOURCE_DIR}" targets)
  set(missing)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    # Qt's generated resource objects compile rcc's output only.
    if(NOT type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY)$")
      continue()
    endif()
    get_target_property(links ${target} LINK_LIBRARIES)
    if(NOT "drovane_common_config" IN_LIST links)
      list(APPEND missing ${target})
    endif()
  endforeach()
  if(missing)
    message(FATAL_ERROR "These targets do not link drovane_common_config: ${missing}")
  endif()
endfunction()
