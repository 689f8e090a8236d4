#!/bin/bash
# The part of scripts/check-package.sh that runs inside the fresh Debian 12
# chroot, as root there:  check-package-inside.sh /tmp/vadrel_VERSION_ARCH.deb
# Every wait is bounded; nothing waits a fixed time.
set -euo pipefail
deb=$1
export DEBIAN_FRONTEND=noninteractive LC_ALL=C.UTF-8 PATH=/usr/sbin:/usr/bin:/sbin:/bin

step() { printf '\n== %s\n' "$*"; }
fail() { echo "FALLITO: $*" >&2; exit 1; }
# wait_for SECONDS COMMAND...: polls COMMAND until it succeeds.
wait_for() {
    local deadline=$((SECONDS + $1)); shift
    until "$@"; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.1
    done
}

step "apt-get install ./$(basename "$deb")"
apt-get update -qq
# A user who reads manual pages has man; one who scripts the control interface, python3.
apt-get install -y -qq --no-install-recommends man-db python3 >/dev/null
before=$(dpkg-query -W -f='${Package}\n' | wc -l)
apt-get install -y -qq "$deb" >/dev/null
after=$(dpkg-query -W -f='${Package}\n' | wc -l)
echo "  installato con $((after - before - 1)) pacchetti in più portati dalle dipendenze"
dpkg -L vadrel >/tmp/vadrel-files
command -v vadrel vadrel-finestra

step "Un utente qualunque: vadrel --senza-finestra --com 2=pty --durata 3"
useradd --create-home --shell /bin/bash utente
home=/home/utente
su - utente -c 'vadrel --senza-finestra --com 2=pty --durata 3 >run.out 2>run.err; echo $? >run.rc' &
runner=$!
wait_for 15 grep -qs '^COM 2: ' "$home/run.out" || fail "nessuna porta virtuale: $(cat "$home/run.err" 2>&1)"
pts=$(sed -n 's/^COM 2: //p' "$home/run.out")
sentence=$(su utente -c "timeout 5 grep -a -m 1 '^\\\$GPRMC' $pts" | tr -d '\r') \
    || fail "nessuna frase da $pts"
echo "  letta da $pts: $sentence"
wait "$runner"
[ "$(cat "$home/run.rc")" = 0 ] || fail "uscita $(cat "$home/run.rc"): $(cat "$home/run.err")"
table=$home/.local/share/vadrel/vadrel.cnf
grep -q "tabella dei veicoli: $table" "$home/run.err" || fail "non dice dove sta la tabella: $(cat "$home/run.err")"
[ "$(stat -c %U "$table")" = utente ] || fail "$table non è dell'utente"
[ "$(grep -c $'\r$' "$table")" = 22 ] || fail "$table non ha 22 righe"
sed 's/^/  /' "$home/run.err"

step "man vadrel"
page=$(su - utente -c 'MANWIDTH=80 man -P cat vadrel' 2>&1)
grep -q '^NOME' <<<"$page" || fail "man vadrel: $page"
grep -q -- '--senza-finestra' <<<"$page" || fail "man vadrel non descrive le opzioni"
grep -q "^STATO D'USCITA" <<<"$page" || fail "man vadrel non descrive i codici d'uscita"
sed -n '1,4p' <<<"$page" | sed 's/^/  /'

step "La descrizione dell'interfaccia di controllo e il client Python"
grep -qx /usr/share/vadrel/openapi.yaml /tmp/vadrel-files || fail "manca /usr/share/vadrel/openapi.yaml"
grep -q '^openapi: 3' /usr/share/vadrel/openapi.yaml || fail "openapi.yaml non è una descrizione OpenAPI 3"
client=$(su - utente -c "cd / && python3 -c 'import vadrel_client; print(vadrel_client.__file__)'") \
    || fail "python3 non trova il modulo vadrel_client"
[ "$client" = /usr/lib/python3/dist-packages/vadrel_client.py ] || fail "vadrel_client è in $client"
grep -q 'vadrel_client' <<<"$page" || fail "man vadrel non dice dov'è il client Python"
echo "  /usr/share/vadrel/openapi.yaml; import vadrel_client: $client"

step "La riga di comando del servizio, come utente di sistema"
# What systemd does for the unit: a user of its own, the state folder
# (/var/lib/vadrel) and the runtime folder (/run/vadrel), standard output to
# nowhere; then the unit's ExecStart, stopped by SIGTERM.
unit=$(grep -l . /lib/systemd/system/vadrel.service)
exec_start=$(sed -n 's/^ExecStart=//p' "$unit")
useradd --system --no-create-home --shell /usr/sbin/nologin vadrel-servizio
install -d -o vadrel-servizio -m 0755 /var/lib/vadrel /run/vadrel
# shellcheck disable=SC2086
setpriv --reuid=vadrel-servizio --regid=vadrel-servizio --init-groups $exec_start \
    >/dev/null 2>/tmp/service.err &
service=$!
wait_for 15 test -L /run/vadrel/gps0 || fail "nessun /run/vadrel/gps0: $(cat /tmp/service.err)"
sentence=$(timeout 5 grep -a -m 1 '^\$GPRMC' /run/vadrel/gps0 | tr -d '\r') || fail "nessuna frase dal servizio"
echo "  letta da /run/vadrel/gps0: $sentence"
kill -TERM "$service"
code=0
wait "$service" || code=$?
[ "$code" = 0 ] || fail "il servizio è uscito con $code: $(cat /tmp/service.err)"
[ "$(grep -c $'\r$' /var/lib/vadrel/vadrel.cnf)" = 22 ] || fail "il servizio non ha salvato la tabella"
[ ! -e /run/vadrel/gps0 ] || fail "il collegamento /run/vadrel/gps0 è rimasto"
sed 's/^/  /' /tmp/service.err

step "apt-get purge vadrel"
apt-get purge -y -qq vadrel >/dev/null
left=()
while read -r path; do
    if [ -e "$path" ] && [ ! -d "$path" ]; then left+=("$path"); fi
done </tmp/vadrel-files
for folder in /usr/share/vadrel /usr/share/doc/vadrel /var/lib/vadrel; do
    if [ -e "$folder" ]; then left+=("$folder"); fi
done
[ "${#left[@]}" = 0 ] || fail "rimasti dopo la rimozione: ${left[*]}"
echo "  nessun file del pacchetto è rimasto; la tabella dell'utente resta sua: $table"
