#!/usr/bin/env bash
# What the Slurm jobs of scripts/slurm-render.sh run; sbatch copies this script when a job is
# submitted, so the nodes need only umbrawash and the shared folder.
#
#   slurm-render-task.sh segment UMBRAWASH INPUT PIECES NAME N [RENDER OPTIONS...]
#       one task of the array: renders segment SLURM_ARRAY_TASK_ID of N into the folder
#       PIECES, with the saved configuration in PIECES/settings (umbrawash keeps a complete
#       piece of the same render that is there already)
#   slurm-render-task.sh join UMBRAWASH PIECES NAME N OUTPUT KEEP_PIECES
#       joins the N pieces into OUTPUT; then removes the folder's pieces, those of earlier
#       renders in other segments and what killed tasks left included, unless KEEP_PIECES
#       is 1
#
# NAME is the pieces' printf pattern, such as segment-%03d-of-120.mkv.
set -euo pipefail

mode=${1:-}
case "$mode" in
    segment)
        [ "$#" -ge 6 ] || { echo "slurm-render-task: segment needs UMBRAWASH INPUT PIECES NAME N" >&2; exit 2; }
        umbrawash=$2 input=$3 dir=$4 name=$5 count=$6
        shift 6
        k=${SLURM_ARRAY_TASK_ID:?segment tasks run as a Slurm job array}
        # shellcheck disable=SC2059 # the pattern is ours: digits, a %d and an extension
        printf -v piece "$name" "$k"
        piece=$dir/$piece
        echo "segment $k/$count on $(hostname): $piece"
        export XDG_CONFIG_HOME=$dir/settings
        exec "$umbrawash" render "$input" "$piece" --segment "$k/$count" "$@"
        ;;
    join)
        [ "$#" -eq 7 ] || { echo "slurm-render-task: join needs UMBRAWASH PIECES NAME N OUTPUT KEEP_PIECES" >&2; exit 2; }
        umbrawash=$2 dir=$3 name=$4 count=$5 output=$6 keep=$7
        pieces=()
        for ((k = 1; k <= count; k++)); do
            # shellcheck disable=SC2059
            printf -v piece "$name" "$k"
            pieces+=("$dir/$piece")
        done
        echo "join on $(hostname): ${#pieces[@]} pieces into $output"
        "$umbrawash" join "${pieces[@]}" "$output"
        if [ "$keep" != 1 ]; then
            rm -f -- "$dir"/segment-*.mkv "$dir"/.segment-*.partial-*
        fi
        echo "joined: $output"
        ;;
    *)
        echo "slurm-render-task: run by scripts/slurm-render.sh as a Slurm job, not by hand" >&2
        exit 2
        ;;
esac
