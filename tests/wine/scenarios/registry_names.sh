# Names as Windows keeps them, with the unattended hooks ("-a " on the
# command line): a key beside a registry link that converts to a path
# through it, keys named outside the code page (the second hook returns
# within a minute and their trees go), and an installation directory
# without its closing backslash (the status file comes from inside it).
source "$(dirname "$0")/../lib.sh"

wine_use_pristine

run_host registry_names.exe no-backslash -a -f"C:\\Program Files\\Corvane\\DeIsL1.isu"
run_host registry_names.exe trees -a -f"C:\\Program Files\\Corvane\\DeIsL1.isu"
finish
