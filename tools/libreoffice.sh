# Shared by the scripts that drive LibreOffice headless (sourced, not run):
# installs it when missing and converts documents with a private profile, so
# that runs do not disturb each other or a user's LibreOffice.
#   lo_convert FILTER OUTDIR FILE...   e.g. lo_convert docx:"MS Word 2007 XML" out a.fodt

source "$(dirname "${BASH_SOURCE[0]}")/apt.sh"

lo_install() {
  apt_install_missing libreoffice-writer-nogui libreoffice-calc-nogui libreoffice-impress-nogui
}

lo_profile=
lo_convert() {
  local filter=$1 outdir=$2
  shift 2
  if [ -z "$lo_profile" ]; then
    lo_profile=$(mktemp -d /tmp/vexo-lo-profile.XXXXXX)
    trap 'rm -rf "$lo_profile"' EXIT
  fi
  soffice -env:UserInstallation="file://$lo_profile" --headless --norestore \
    --convert-to "$filter" --outdir "$outdir" "$@" >/dev/null 2>&1
}

# The LibreOffice filter that writes files with extension $1.
lo_filter() {
  case "$1" in
    docx) echo 'docx:MS Word 2007 XML' ;;
    xlsx) echo 'xlsx:Calc MS Excel 2007 XML' ;;
    pptx) echo 'pptx:Impress MS PowerPoint 2007 XML' ;;
    txt) echo 'txt:Text (encoded):UTF8' ;;
    csv) echo 'csv:Text - txt - csv (StarCalc):44,34,76,1' ;;
    *) echo "$1" ;;
  esac
}
