# install_missing_packages NAME PACKAGE...: installs with apt-get those of the Debian packages
# that are not installed yet (NAME prefixes the message). Sourced by the install scripts.
install_missing_packages() {
  local name=$1; shift
  local missing=() package status
  for package in "$@"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$package")
  done
  if ((${#missing[@]})); then
    echo "$name: installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -q
    apt-get install -y -q --no-install-recommends "${missing[@]}"
  fi
}
