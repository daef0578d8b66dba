# fish completion for mailsift(1).

set -l commands scan extract help
complete -c mailsift -f

complete -c mailsift -n "not __fish_seen_subcommand_from $commands" -a scan -d 'Scan files, folders and web pages into two lists'
complete -c mailsift -n "not __fish_seen_subcommand_from $commands" -a extract -d 'Print every address in text order'
complete -c mailsift -n "not __fish_seen_subcommand_from $commands" -a help -d 'Show the commands'
complete -c mailsift -n "not __fish_seen_subcommand_from $commands" -s h -l help -d 'Show the commands'
complete -c mailsift -n "not __fish_seen_subcommand_from $commands" -s V -l version -d 'Show the version'

# Options of both commands, and files as arguments.
set -l reading "__fish_seen_subcommand_from scan extract"
complete -c mailsift -n $reading -F
complete -c mailsift -n $reading -l rules -x -a 'specified extended' -d 'Rules to read addresses by'
complete -c mailsift -n $reading -s j -l jobs -x -d 'Threads that read and scan'
complete -c mailsift -n $reading -l decode -x -a 'auto none' -d 'Decode content where it calls for it'
complete -c mailsift -n $reading -l encoding -x -a cp1252 -d 'Encoding of bytes that are not decoded'
complete -c mailsift -n $reading -l format -x -a 'lines jsonl' -d 'How entries are printed'
complete -c mailsift -n $reading -s 0 -l null -d 'End every record with a NUL byte'
complete -c mailsift -n $reading -s q -l quiet -d 'Nothing on standard error but errors'
complete -c mailsift -n $reading -l verbose -d 'Report unreadable files and undecoded content'
complete -c mailsift -n $reading -s h -l help -d 'Show the help of the command'
complete -c mailsift -n $reading -s V -l version -d 'Show the version'

# Options of scan alone.
set -l scanning "__fish_seen_subcommand_from scan"
complete -c mailsift -n $scanning -l list -x -a 'found unknown both' -d 'Which list to print'
complete -c mailsift -n $scanning -s o -l export -r -F -d 'Write the recognised addresses to FILE'
complete -c mailsift -n $scanning -l delimiter -x -d 'Delimiter of the export (br, tb)'
complete -c mailsift -n $scanning -l max-download-time -x -d 'Seconds until a download is given up (0: none)'
complete -c mailsift -n $scanning -l max-download-size -x -d 'Bytes until a download is given up (K, M, G; 0: none)'
