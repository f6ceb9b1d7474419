#!/usr/bin/env bash
# A throw-away Dovecot POP3 server on 127.0.0.1 for Larkwatch's tests.
#
#   dovecot-fixture.sh start ENVFILE
#       Makes a temporary folder (config, self-signed certificate, users,
#       maildirs with a few generated messages), starts Dovecot on free high
#       ports and writes what a test needs into ENVFILE as KEY='value' lines:
#       DIR, PID, HOST, POP3_PORT, POP3S_PORT, CERT_FILE, CERT_SHA256, USERS,
#       OAUTH_PORT (where a test's fake authorization server is to listen:
#       Dovecot asks its /introspect whether a token is good),
#       and per user PASSWORD_<user>, MAILDIR_<user>, MESSAGES_<user>.
#       Dovecot must run as root. Otherwise ENVFILE gets SKIP='reason' and the
#       tests skip, except under CI=true, where this is an error.
#   dovecot-fixture.sh refill ENVFILE USER
#       Empties USER's maildir and delivers the generated messages again, so a
#       test that deletes or adds mail finds the same mailbox on every run.
#   dovecot-fixture.sh add-message ENVFILE USER FILE
#       Delivers FILE (a whole message) into USER's maildir.
#   dovecot-fixture.sh add-user ENVFILE USER PASSWORD COUNT
#       Adds a user with COUNT generated messages (numbered 1 to COUNT in
#       that order), for a test that needs a mailbox of its own; returns once
#       the running Dovecot knows the user.
#   dovecot-fixture.sh stop ENVFILE
#       Stops the server by its PID and removes the temporary folder. start
#       does the same first, so a repeated start leaves no server behind.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
action=${1:-}
envfile=${2:-}
[ -n "$action" ] && [ -n "$envfile" ] || {
    echo "usage: $0 start|stop|refill|add-message ENVFILE [USER [FILE]]" >&2
    exit 2
}

# Users: name and password (the passwords hold characters that need care).
users=(poptest alice bob)
declare -A passwords=([poptest]='Se cr;et=1' [alice]='alice-pw' [bob]='b[o]b\pw')
# Messages each user's maildir holds at the start and after a refill.
messages=5

env_value() { # KEY -> value from ENVFILE
    sed -n "s/^$1='\(.*\)'\$/\1/p" "$envfile" | head -n 1
}

deliver() { # MAILDIR FILE
    local name
    # Dovecot numbers new mail in name order: seconds, then microseconds.
    name="$(date +%s.M%6N)P$$.larkwatch"
    cp "$2" "$1/tmp/$name"
    chown nobody:nogroup "$1/tmp/$name"
    mv "$1/tmp/$name" "$1/new/$name"
}

make_message() { # USER N -> a message on stdout
    local user=$1 n=$2
    printf 'From: Test Sender %s <sender%s@example.org>\r\n' "$n" "$n"
    printf 'To: %s@example.org\r\n' "$user"
    case $n in
    1) printf 'Subject: =?UTF-8?Q?Gr=C3=BC=C3=9Fe_aus_M=C3=BCnchen?=\r\n' ;;
    *) printf 'Subject: Test message %s for %s\r\n' "$n" "$user" ;;
    esac
    printf 'Date: Mon, 18 Mar 2024 10:%02d:00 +0100\r\n' "$n"
    printf 'Message-ID: <%s.%s@larkwatch.test>\r\n' "$n" "$user"
    printf 'MIME-Version: 1.0\r\nContent-Type: text/plain; charset=utf-8\r\n\r\n'
    printf 'Body line of message %s.\r\n' "$n"
    printf '.a line that starts with a dot\r\n.\r\nlast line\r\n'
}

fill_maildir() { # USER MAILDIR: the generated messages, one after the other
    local n file
    file=$(mktemp "$2/../message.XXXXXX")
    for n in $(seq 1 "$messages"); do
        make_message "$1" "$n" >"$file"
        deliver "$2" "$file"
    done
    rm -f "$file"
}

pick_port() {
    local port
    while :; do
        port=$((20000 + RANDOM % 40000))
        if ! (ss -ltn 2>/dev/null || true) | grep -q ":$port "; then
            echo "$port"
            return
        fi
    done
}

start() {
    # A server this file still names (a repeated or interrupted run) goes first.
    stop
    mkdir -p "$(dirname "$envfile")"
    : >"$envfile"
    local reason=""
    if [ "$(id -u)" -ne 0 ]; then
        reason="Dovecot must run as root; run the tests as root to include the real-server test"
    elif ! [ -x /usr/sbin/dovecot ] || ! [ -x /usr/lib/dovecot/pop3 ]; then
        reason="Dovecot is not installed (packages dovecot-core and dovecot-pop3d)"
    elif ! command -v openssl >/dev/null; then
        reason="openssl is not installed"
    fi
    if [ -n "$reason" ]; then
        if [ "${CI:-}" = "true" ]; then
            echo "error: $reason" >&2
            exit 1
        fi
        echo "SKIP='$reason'" >"$envfile"
        echo "skipping the Dovecot server: $reason"
        return 0
    fi

    local dir
    dir=$(mktemp -d "${TMPDIR:-/tmp}/larkwatch-dovecot.XXXXXX")
    chmod 755 "$dir"
    mkdir -p "$dir/run" "$dir/state" "$dir/mail"

    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=localhost \
        -addext "subjectAltName=IP:127.0.0.1,DNS:localhost" \
        -keyout "$dir/key.pem" -out "$dir/cert.pem" 2>/dev/null
    chmod 600 "$dir/key.pem"
    local fingerprint
    fingerprint=$(openssl x509 -in "$dir/cert.pem" -noout -fingerprint -sha256 | sed 's/^.*=//')

    : >"$dir/users"
    for user in "${users[@]}"; do
        printf '%s:{PLAIN}%s::::::\n' "$user" "${passwords[$user]}" >>"$dir/users"
    done
    chgrp dovecot "$dir/users"
    chmod 640 "$dir/users"

    for user in "${users[@]}"; do
        local maildir="$dir/mail/$user/Maildir"
        mkdir -p "$maildir/cur" "$maildir/new" "$maildir/tmp"
        chown -R nobody:nogroup "$dir/mail/$user"
        fill_maildir "$user" "$maildir"
    done

    local attempt pop3 pop3s oauth started=""
    for attempt in 1 2 3 4 5 6 7 8; do
        pop3=$(pick_port)
        pop3s=$(pick_port)
        oauth=$(pick_port)
        [ "$pop3" != "$pop3s" ] && [ "$oauth" != "$pop3" ] && [ "$oauth" != "$pop3s" ] || continue
        {
            echo "introspection_mode = post"
            echo "introspection_url = http://127.0.0.1:$oauth/introspect"
            echo "force_introspection = yes"
            echo "active_attribute = active"
            echo "active_value = true"
            echo "username_attribute = email"
        } >"$dir/oauth2.conf.ext"
        chmod 644 "$dir/oauth2.conf.ext"
        sed -e "s|@DIR@|$dir|g" -e "s|@INSTANCE@|$(basename "$dir")|g" \
            -e "s|@POP3_PORT@|$pop3|g" -e "s|@POP3S_PORT@|$pop3s|g" \
            "$here/dovecot.conf.in" >"$dir/dovecot.conf"
        if /usr/sbin/dovecot -c "$dir/dovecot.conf" 2>>"$dir/start.log"; then
            started=yes
            break
        fi
    done
    if [ -z "$started" ]; then
        echo "error: Dovecot did not start" >&2
        cat "$dir/start.log" "$dir/dovecot.log" 2>/dev/null >&2 || true
        exit 1
    fi

    # Wait for the PID file and both listeners.
    local pid="" i
    for i in $(seq 1 100); do
        if [ -s "$dir/run/master.pid" ]; then
            pid=$(cat "$dir/run/master.pid")
            if (exec 3<>"/dev/tcp/127.0.0.1/$pop3") 2>/dev/null &&
                (exec 3<>"/dev/tcp/127.0.0.1/$pop3s") 2>/dev/null; then
                break
            fi
        fi
        sleep 0.1
    done
    [ -n "$pid" ] || {
        echo "error: Dovecot wrote no PID file" >&2
        cat "$dir/dovecot.log" >&2 || true
        exit 1
    }

    {
        echo "DIR='$dir'"
        echo "PID='$pid'"
        echo "HOST='127.0.0.1'"
        echo "POP3_PORT='$pop3'"
        echo "POP3S_PORT='$pop3s'"
        echo "OAUTH_PORT='$oauth'"
        echo "CERT_FILE='$dir/cert.pem'"
        echo "CERT_SHA256='$fingerprint'"
        echo "USERS='${users[*]}'"
        for user in "${users[@]}"; do
            echo "PASSWORD_$user='${passwords[$user]}'"
            echo "MAILDIR_$user='$dir/mail/$user/Maildir'"
            echo "MESSAGES_$user='$messages'"
        done
    } >"$envfile"
    echo "Dovecot $pid on 127.0.0.1:$pop3 (POP3, STLS) and :$pop3s (TLS) in $dir"
}

stop() {
    [ -f "$envfile" ] || return 0
    local pid dir
    pid=$(env_value PID)
    dir=$(env_value DIR)
    # Only the Dovecot of this folder: a stale file's PID may belong to another process by now.
    if [ -n "$pid" ] && [ -n "$dir" ] && kill -0 "$pid" 2>/dev/null &&
        tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | grep -qF "$dir/dovecot.conf"; then
        kill -TERM "$pid"
        for _ in $(seq 1 100); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -0 "$pid" 2>/dev/null && kill -KILL "$pid"
    fi
    case "$dir" in
    */larkwatch-dovecot.*) rm -rf "$dir" ;;
    esac
    rm -f "$envfile"
}

maildir_of() { # USER -> the user's maildir, from ENVFILE
    local maildir
    maildir=$(env_value "MAILDIR_$1")
    [ -n "$maildir" ] && [ -d "$maildir" ] || {
        echo "error: no maildir for user $1" >&2
        exit 1
    }
    echo "$maildir"
}

refill() {
    local user=${3:-} maildir
    [ -n "$user" ] || {
        echo "usage: $0 refill ENVFILE USER" >&2
        exit 2
    }
    maildir=$(maildir_of "$user")
    # Dovecot notices the vanished files at the next log-on and forgets them.
    find "$maildir/new" "$maildir/cur" "$maildir/tmp" -type f -delete
    fill_maildir "$user" "$maildir"
}

add_message() {
    local user=${3:-} file=${4:-} maildir
    [ -n "$user" ] && [ -f "$file" ] || {
        echo "usage: $0 add-message ENVFILE USER FILE" >&2
        exit 2
    }
    maildir=$(maildir_of "$user")
    deliver "$maildir" "$file"
}

add_user() {
    local user=${3:-} password=${4:-} count=${5:-} dir maildir stamp n
    [ -n "$user" ] && [ -n "$password" ] && [ -n "$count" ] || {
        echo "usage: $0 add-user ENVFILE USER PASSWORD COUNT" >&2
        exit 2
    }
    dir=$(env_value DIR)
    [ -d "$dir/mail" ] || {
        echo "error: no running fixture in $envfile" >&2
        exit 1
    }
    maildir="$dir/mail/$user/Maildir"
    mkdir -p "$maildir/cur" "$maildir/new" "$maildir/tmp"
    # Names in the order the messages are to be numbered.
    stamp=$(date +%s)
    for n in $(seq 1 "$count"); do
        make_message "$user" "$n" >"$maildir/tmp/$stamp.M$(printf %06d "$n")P$$.larkwatch"
    done
    chown -R nobody:nogroup "$dir/mail/$user"
    mv "$maildir/tmp/"*.larkwatch "$maildir/new/"
    # The users file keeps its group and mode; Dovecot reads it again when it changes.
    printf '%s:{PLAIN}%s::::::\n' "$user" "$password" >>"$dir/users"
    # But it looks at the file at most once a second and answers from the copy
    # it read until then: a log-on in the same second as the lookup before it
    # does not know the new user. Return once Dovecot does.
    local i
    for i in $(seq 1 100); do
        if doveadm -c "$dir/dovecot.conf" auth lookup -a "$dir/run/auth-userdb" "$user" \
            >/dev/null 2>&1; then
            return 0
        fi
        sleep 0.1
    done
    echo "error: Dovecot does not know the new user $user" >&2
    exit 1
}

case "$action" in
start) start ;;
stop) stop ;;
refill) refill "$@" ;;
add-message) add_message "$@" ;;
add-user) add_user "$@" ;;
*)
    echo "usage: $0 start|stop|refill|add-message|add-user ENVFILE [...]" >&2
    exit 2
    ;;
esac
