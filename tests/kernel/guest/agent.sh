# The guest's command agent, run by busybox sh inside the host's root.
#
# On the serial port given as $1 it reads one request per line:
#   RUN <id> <script in base64>   run the script with sh, in the background
#   POWEROFF                      stop the guest
# and answers, once per finished script, with its output in base64:
#   RKOUT <id> <base64 line>...   standard output
#   RKERR <id> <base64 line>...   standard error
#   RKEND <id> <exit status>      always last
# Several scripts may run at once; only the answering loop writes to the
# port, so answers never interleave.
BB=/tmp/.rkguest/busybox
PORT=$1
JOBS=/tmp/.rkguest/jobs
$BB mkdir -p $JOBS
# Held open for the whole run: a tty whose last descriptor closes drops
# what arrived meanwhile.
exec 3<>"$PORT" || exit 1
$BB stty raw -echo -onlcr <&3 || exit 1
export PATH=/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin

answer() {
    while :; do
        for status in $JOBS/*.status; do
            [ -e "$status" ] || continue
            id=${status##*/}
            id=${id%.status}
            {
                $BB base64 "$JOBS/$id.out" | $BB sed "s/^/RKOUT $id /"
                $BB base64 "$JOBS/$id.err" | $BB sed "s/^/RKERR $id /"
                echo "RKEND $id $($BB cat "$status")"
            } >&3
            $BB rm -f "$JOBS/$id".*
        done
        $BB sleep 0.05
    done
}

run() {
    id=$1
    echo "$2" | $BB base64 -d >"$JOBS/$id.sh"
    (
        cd /
        /bin/sh "$JOBS/$id.sh" >"$JOBS/$id.out" 2>"$JOBS/$id.err" </dev/null
        echo $? >"$JOBS/$id.tmp"
        $BB mv "$JOBS/$id.tmp" "$JOBS/$id.status"
    ) &
}

echo "RKAGENT READY" >&3
answer &
while IFS= read -r line; do
    set -- $line
    case "$1" in
    RUN) run "$2" "$3" ;;
    POWEROFF)
        $BB sync
        $BB poweroff -f
        ;;
    esac
done <&3
