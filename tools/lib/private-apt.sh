# A private apt configuration for downloading packages of other architectures without
# installing anything: its own state, cache and empty status file, and sources derived from
# the system's own apt sources (so no host name is written anywhere). Sourced by the tools
# that fetch Wine's i386 parts, with the one step of libwine's install script they both need.
#
#   write_apt_config <work dir> [architectures]   the first architecture is the native one
#                                                 (default: i386); APT_CONFIG is then
#                                                 <work dir>/etc/apt.conf.d/zz-korvo-i386.conf

# One-line sources: binary entries only, without any arch= restriction (the system's own
# entries often name amd64 alone).
derive_list() {
  sed -n -E '/^[[:space:]]*deb[[:space:]]/{
      s/(\[[^]]*)arch=[^][:space:]]*/\1/
      s/\[[[:space:]]*\]//
      p
    }' "$1"
}

# deb822 sources: the same, stanza by stanza; a stanza of source packages only is dropped.
derive_sources() {
  awk '
    function flush() { if (stanza != "" && keep) printf "%s\n", stanza; stanza = ""; keep = 1; skipping = 0 }
    BEGIN { keep = 1 }
    /^[[:space:]]*$/ { flush(); next }
    /^[ \t]/ { if (!skipping) stanza = stanza $0 "\n"; next }
    {
      skipping = 0
      if (tolower($0) ~ /^architectures:/) { skipping = 1; next }
      if (tolower($0) ~ /^types:/) {
        n = split(substr($0, 7), types, /[ \t]+/)
        found = 0
        for (i = 1; i <= n; i++) if (types[i] == "deb") found = 1
        if (!found) keep = 0
        stanza = stanza "Types: deb\n"; next
      }
      stanza = stanza $0 "\n"
    }
    END { flush() }
  ' "$1"
}

write_apt_config() {
  local work=$1 architectures=${2:-i386} system_list system_parts system_conf_parts system_main file
  eval "$(apt-config shell system_list Dir::Etc::sourcelist/f system_parts Dir::Etc::sourceparts/d \
                           system_conf_parts Dir::Etc::parts/d system_main Dir::Etc::main/f)"
  mkdir -p "$work/etc/sources.list.d" "$work/etc/apt.conf.d" "$work/state/lists/partial" \
           "$work/cache/archives/partial" "$work/debs"
  : >"$work/state/status"
  : >"$work/etc/sources.list"
  if [[ -f $system_list ]]; then
    derive_list "$system_list" >"$work/etc/sources.list.d/system.list"
  fi
  for file in "$system_parts"*.list; do
    [[ -f $file ]] && derive_list "$file" >"$work/etc/sources.list.d/$(basename "$file")"
  done
  for file in "$system_parts"*.sources; do
    [[ -f $file ]] && derive_sources "$file" >"$work/etc/sources.list.d/$(basename "$file")"
  done
  if [[ -z $(cat "$work/etc/sources.list.d/"* 2>/dev/null) ]]; then
    die "no binary package sources in $system_list or $system_parts"
  fi
  # The system's settings (proxies, validity checks) still apply; its hooks do not, as they
  # act on the system's own package lists.
  for file in "$system_conf_parts"*; do
    [[ -f $file ]] && cp "$file" "$work/etc/apt.conf.d/"
  done
  [[ -f $system_main ]] && cp "$system_main" "$work/etc/apt.conf.d/zy-system-apt.conf"
  # Read first (as APT_CONFIG) for the directories and again last (as a part) to win.
  cat >"$work/etc/apt.conf.d/zz-korvo-i386.conf" <<EOF
Dir::Etc::parts "$work/etc/apt.conf.d";
Dir::Etc::main "/dev/null";
Dir::Etc::sourcelist "$work/etc/sources.list";
Dir::Etc::sourceparts "$work/etc/sources.list.d";
Dir::State "$work/state";
Dir::State::status "$work/state/status";
Dir::Cache "$work/cache";
APT::Architecture "${architectures%% *}";
#clear APT::Architectures;
APT::Architectures { $(printf '"%s"; ' $architectures)};
APT::Sandbox::User "$(id -un)";
Acquire::Languages "none";
Acquire::IndexTargets::deb::Contents-deb::DefaultEnabled "false";
#clear APT::Update::Pre-Invoke;
#clear APT::Update::Post-Invoke;
#clear APT::Update::Post-Invoke-Success;
#clear DPkg::Pre-Invoke;
#clear DPkg::Post-Invoke;
#clear DPkg::Pre-Install-Pkgs;
EOF
}

# What libwine's install script does for zlib: Wine loads a DLL from its own folders only
# when the DOS stub carries this mark, and user32 needs zlib1.dll.
install_zlib() {
  local from=$1 to=$2
  cp "$from" "$to"
  printf 'Wine builtin DLL' | dd of="$to" bs=1 seek=64 conv=notrunc status=none
  head -c 16 /dev/zero | dd of="$to" bs=1 seek=80 conv=notrunc status=none
}
