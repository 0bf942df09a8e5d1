# Included by `cmake --install`. The prefix may be given only then
# (`--prefix`), so the folders that depend on it are decided here, by the
# rules GNUInstallDirs applies at configure time: a folder configured as an
# absolute path stays as it is; the configuration folder of the prefixes /
# and /usr is /etc, that of /opt/<name> is /etc/opt/<name>.
# The caller sets ORBALEN_SYSCONFDIR, ORBALEN_DATADIR and ORBALEN_BINDIR to
# the configured (possibly relative) CMAKE_INSTALL_* values.

function(orbalen_full_dir out dir)
  if(IS_ABSOLUTE "${dir}")
    set(${out} "${dir}" PARENT_SCOPE)
  else()
    set(${out} "${CMAKE_INSTALL_PREFIX}/${dir}" PARENT_SCOPE)
  endif()
endfunction()

function(orbalen_full_sysconfdir out)
  string(REGEX REPLACE "/+$" "" prefix "${CMAKE_INSTALL_PREFIX}")
  if(IS_ABSOLUTE "${ORBALEN_SYSCONFDIR}")
    set(dir "${ORBALEN_SYSCONFDIR}")
  elseif(prefix STREQUAL "" OR prefix STREQUAL "/usr")
    set(dir "/${ORBALEN_SYSCONFDIR}")
  elseif(prefix MATCHES "^/opt/")
    set(dir "/${ORBALEN_SYSCONFDIR}${prefix}")
  else()
    set(dir "${prefix}/${ORBALEN_SYSCONFDIR}")
  endif()
  set(${out} "${dir}" PARENT_SCOPE)
endfunction()

# The user manager reads units of packages from /usr/lib/systemd/user, and
# those of other prefixes from share/systemd/user below each of
# $XDG_DATA_HOME and $XDG_DATA_DIRS (~/.local/share, /usr/local/share).
function(orbalen_user_unit_dir out)
  string(REGEX REPLACE "/+$" "" prefix "${CMAKE_INSTALL_PREFIX}")
  if(prefix STREQUAL "" OR prefix STREQUAL "/usr")
    set(${out} "/usr/lib/systemd/user" PARENT_SCOPE)
  else()
    orbalen_full_dir(data "${ORBALEN_DATADIR}")
    set(${out} "${data}/systemd/user" PARENT_SCOPE)
  endif()
endfunction()
