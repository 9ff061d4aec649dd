# bash completion for modrake and modrake-gui

# Plugin and master files (and folders to reach them) matching $cur.
_modrake_plugin_files()
{
    compopt -o filenames 2>/dev/null
    local IFS=$'\n'
    COMPREPLY+=($(compgen -d -- "$cur") $(compgen -f -X '!*.[eE][sS][pPmM]' -- "$cur"))
}

_modrake_folders()
{
    compopt -o filenames 2>/dev/null
    local IFS=$'\n'
    COMPREPLY+=($(compgen -d -- "$cur"))
}

# The names of the files in the game's Data Files folder, as the plugins
# subcommands take them.
_modrake_data_names()
{
    local game=$1 folder file
    [[ $game == "~/"* ]] && game=$HOME/${game#"~/"}
    for folder in "${game:-.}"/[dD][aA][tT][aA]\ [fF][iI][lL][eE][sS]; do
        [[ -d $folder ]] || continue
        for file in "$folder"/*.[eE][sS][pPmM]; do
            file=${file##*/}
            [[ $file == "$cur"* ]] && COMPREPLY+=("$file")
        done
    done
    compopt -o filenames 2>/dev/null
}

_modrake()
{
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    COMPREPLY=()

    case $prev in
        --game | --home | --output)
            _modrake_folders
            return
            ;;
        --openmw-config)
            compopt -o filenames 2>/dev/null
            COMPREPLY=($(compgen -d -- "$cur") $(compgen -f -X '!*.cfg' -- "$cur"))
            return
            ;;
        --sort)
            COMPREPLY=($(compgen -W 'load name name-desc time time-desc' -- "$cur"))
            return
            ;;
        --plugins | --scale)
            return
            ;;
    esac

    if [[ ${COMP_WORDS[0]##*/} == modrake-gui ]]; then
        COMPREPLY=($(compgen -W '-h --help -v --version --game --openmw-config --home' -- "$cur"))
        return
    fi

    # The command and the plugins subcommand typed so far, and the game folder.
    local i word command='' sub='' game=''
    for ((i = 1; i < COMP_CWORD; i++)); do
        word=${COMP_WORDS[i]}
        case $word in
            --game | --openmw-config | --home | --sort | --plugins | --scale | --output)
                ((i++))
                [[ ${COMP_WORDS[i]} == = ]] && ((i++))
                [[ $word == --game ]] && game=${COMP_WORDS[i]}
                ;;
            -* | =) ;;
            *)
                if [[ -z $command ]]; then
                    command=$word
                elif [[ $command == plugins && -z $sub ]]; then
                    sub=$word
                fi
                ;;
        esac
    done

    local options=''
    case $command in
        '')
            if [[ $cur == -* ]]; then
                options='-h --help --version --game --openmw-config --home --dry-run -y --yes -n --no'
            else
                options='clean merge-lists merge-objects merge-dialogs report fix undo plugins options dump sample-game'
            fi
            ;;
        clean)
            options='-h --help --subfolder --keep-names --keep-time --force-save --ignore-tribunal
                     --ignore-bloodmoon --restricted-dialogs --restricted-cells --all-masters'
            [[ $cur == -* ]] || _modrake_plugin_files
            ;;
        merge-lists)
            options='-h --help --activate --against-masters --all-masters --output'
            ;;
        merge-dialogs)
            options='-h --help --activate --all-masters --output'
            ;;
        merge-objects)
            options='-h --help --activate --merge-unchanged --all-masters --output'
            ;;
        report)
            options='-h --help --full --skip-mergeable --all-masters --json'
            [[ $cur == -* ]] || _modrake_plugin_files
            ;;
        fix)
            options='-h --help --all-masters --output'
            ;;
        undo)
            options='-h --help --list --force'
            ;;
        plugins)
            case $sub in
                '')
                    options='-h --help --sort --json'
                    [[ $cur == -* ]] || options='activate deactivate update-time update-header'
                    ;;
                activate | deactivate | update-time | update-header)
                    options='-h --help'
                    [[ $cur == -* ]] || _modrake_data_names "$game"
                    ;;
            esac
            ;;
        options)
            options='-h --help'
            if [[ $prev == = ]]; then
                COMPREPLY=($(compgen -W '0 1' -- "$cur"))
                return
            elif [[ $cur != -* ]]; then
                COMPREPLY=($(compgen -S = -W 'KeepFileName KeepFileDate ForceSave IgnoreTribunal
                    IgnoreBloodmoon RestrictedDialogCleaning RestrictedCellCleaning
                    FullConflictReport IgnoreMergeableConflicts MergeUnchangedObjects
                    MergeListsAgainstMasters AllMasters' -- "$cur"))
                compopt -o nospace 2>/dev/null
                return
            fi
            ;;
        dump)
            options='-h --help'
            [[ $cur == -* ]] || _modrake_plugin_files
            ;;
        sample-game)
            options='-h --help --plugins --scale'
            [[ $cur == -* ]] || _modrake_folders
            ;;
    esac
    COMPREPLY+=($(compgen -W "$options" -- "$cur"))
}
complete -F _modrake modrake modrake-gui
